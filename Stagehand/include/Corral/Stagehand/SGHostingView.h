#pragma once
// The root view of every SGHHostViewController: a plain view of its own
// class, so that the host's view is easy to tell apart in a view tree.

#include "Corral/Stagehand/StagehandExport.h"
#include "Corral/ui/View.h"

class STAGEHAND_EXPORT SGHostingView : public ui::View {
public:
    static base::Ref<SGHostingView> make() { return std::make_shared<SGHostingView>(); }
    SGHostingView();
    ~SGHostingView() override;
};
