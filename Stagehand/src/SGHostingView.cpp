#include "Corral/Stagehand/SGHostingView.h"

SGHostingView::SGHostingView() = default;

SGHostingView::~SGHostingView() = default;
