// A live view of 1,000 views that moves every view a little on each frame,
// a frame every 100 ms, and stamps each layout pass with the wall-clock time
// it ran at, so that whoever draws the picture can tell how long it took
// from the layout pass to the drawing. `FRAMES` in the document's store
// (default 30) says how many frames to run.
#include <chrono>
#include <cstdio>
#include <string>

#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"
#include "Corral/ui/UI.h"

namespace {

constexpr int kViews = 1000;

class Field : public ui::View {
public:
    using ui::View::View;
    int frame = 0;

    // Every view moves on a path of its own as the frames advance.
    void layoutSubviews() override {
        const auto& views = subviews();
        for (std::size_t i = 0; i < views.size(); ++i) {
            double x = static_cast<double>((i * 17 + static_cast<std::size_t>(frame) * 3) % 500);
            double y = static_cast<double>((i * 29) % 756);
            views[i]->setFrame({{x, y}, {12, 12}});
        }
        laidOutAt_ = std::chrono::duration<double, std::milli>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    }
    std::string className() const override { return "Field"; }
    std::string debugAttributes() const override {
        char text[64];
        std::snprintf(text, sizeof text, "frame %d laid out at %.3f", frame, laidOutAt_);
        return text;
    }

private:
    double laidOutAt_ = 0;
};

}  // namespace

PADDOCK_PAGE_MAIN() {
    auto& page = PaddockPage::current();
    auto field = std::make_shared<Field>(ui::Rect{{0, 0}, {512, 768}});
    field->setBackgroundColor(ui::Color::whiteColor());
    for (int i = 0; i < kViews; ++i) {
        auto view = ui::View::make();
        view->setBackgroundColor(ui::Color::colorWithRed((i % 7) / 7.0, (i % 11) / 11.0, 0.5));
        field->addSubview(view);
    }
    page.setLiveView(field);
    const int frames = 40;
    base::print("animating", kViews, "views for", frames, "frames");
    for (int frame = 1; frame <= frames; ++frame) {
        page.waitUntil([] { return false; }, std::chrono::milliseconds(100));
        field->frame = frame;
        field->setNeedsLayout();
    }
    page.waitUntil([] { return false; }, std::chrono::milliseconds(100));
    base::print("done");
    page.finishExecution();
}
