#pragma once
// A view that shows a text. Headless text has fixed metrics: every
// character (code point) is 8 points wide and every line 16 points high.

#include <string>

#include "Corral/declarative/DeclarativeExport.h"
#include "Corral/ui/View.h"

namespace declarative {

class DECLARATIVE_EXPORT TextView : public ui::View {
public:
    static base::Ref<TextView> make(std::string text, ui::Rect frame = {});
    explicit TextView(std::string text, ui::Rect frame = {});

    const std::string& text() const noexcept { return text_; }
    void setText(std::string text) { text_ = std::move(text); }

    // The size a text needs: its longest line by its number of lines;
    // nothing for an empty text.
    static ui::Size sizeOfText(const std::string& text);

    // text="...", for the view-tree dump.
    std::string debugAttributes() const override;

private:
    std::string text_;
};

}  // namespace declarative
