#include "RootViewController.h"

#include "Corral/base/Exception.h"
#include "Corral/ui/Color.h"
#include "Corral/ui/LayoutAnchor.h"
#include "Corral/ui/View.h"

namespace stagehand {

namespace {

constexpr const char* sourceName = "Stagehand/RootViewController";

// The widest screen that still shows a side-by-side live view on the top
// half rather than the trailing half.
constexpr double narrowWidthLimit = 834;

[[noreturn]] void refuseNibInitialiser(unsigned line, const char* className) {
    base::fatalError(
        sourceName, line,
        std::string("initWithNibName(nibName, bundle) is not implemented for class ") + className);
}

// Shows a live view that is a plain view: the wrapper's view is that view.
class ViewHostingViewController final : public ui::ViewController {
public:
    static base::Ref<ViewHostingViewController> make(base::Ref<ui::View> hostedView) {
        auto controller = std::make_shared<ViewHostingViewController>(std::move(hostedView));
        controller->ViewController::initWithNibName(std::nullopt, nullptr);
        return controller;
    }
    explicit ViewHostingViewController(base::Ref<ui::View> hostedView)
        : hostedView_(std::move(hostedView)) {}

    void initWithNibName(std::optional<std::string>, base::Ref<ui::Bundle>) override {
        refuseNibInitialiser(152, "ViewHostingViewController");
    }
    void initWithCoder(ui::Coder&) override { base::fatalError(sourceName, 156); }
    void encodeWithCoder(ui::Coder&) const override { base::fatalError(sourceName, 160); }

    void loadView() override { setView(hostedView_); }
    std::string className() const override { return "stagehand::ViewHostingViewController"; }

private:
    base::Ref<ui::View> hostedView_;
};

}  // namespace

base::Ref<RootViewController> RootViewController::make(LiveViewConfiguration configuration) {
    auto controller = std::make_shared<RootViewController>(configuration);
    // Not through init(): that reaches initWithNibName, which this class refuses.
    controller->ViewController::initWithNibName(std::nullopt, nullptr);
    return controller;
}

RootViewController::RootViewController(LiveViewConfiguration configuration)
    : configuration_(configuration) {}

RootViewController::~RootViewController() = default;

void RootViewController::initWithNibName(std::optional<std::string>, base::Ref<ui::Bundle>) {
    refuseNibInitialiser(129, "RootViewController");
}

void RootViewController::initWithCoder(ui::Coder&) { base::fatalError(sourceName, 133); }

void RootViewController::encodeWithCoder(ui::Coder&) const { base::fatalError(sourceName, 137); }

const base::Ref<SGHHostViewController>& RootViewController::hostViewController() {
    if (!hostViewController_) hostViewController_ = SGHHostViewController::make();
    return hostViewController_;
}

void RootViewController::setLiveView(std::optional<PaddockLiveViewable> liveView) {
    liveView_ = std::move(liveView);
    const auto& host = hostViewController();
    base::Ref<ui::ViewController> controller;
    if (liveView_) {
        auto representation = liveView_->paddockLiveViewRepresentation();
        if (representation.kind() == PaddockLiveViewRepresentation::Case::view) {
            controller = ViewHostingViewController::make(representation.viewValue());
        } else {
            controller = representation.viewControllerValue();
        }
    }
    host->setLiveView(std::move(controller));
}

void RootViewController::loadView() {
    const auto& host = hostViewController();
    auto hostView = host->view();  // installs the live view
    hostView->setTranslatesAutoresizingMaskIntoConstraints(false);
    addChildViewController(host);

    auto root = ui::View::make();
    root->setBackgroundColor(ui::Color::whiteColor());
    root->addSubview(hostView);

    liveViewFullWidthConstraint_ =
        hostView->widthAnchor()->constraintEqualToAnchor(root->widthAnchor());
    liveViewFullHeightConstraint_ =
        hostView->heightAnchor()->constraintEqualToAnchor(root->heightAnchor());
    liveViewHalfWidthConstraint_ =
        hostView->widthAnchor()->constraintEqualToAnchor(root->widthAnchor(), ui::Multiplier(0.5));
    liveViewHalfHeightConstraint_ = hostView->heightAnchor()->constraintEqualToAnchor(
        root->heightAnchor(), ui::Multiplier(0.5));

    ui::LayoutConstraint::activateConstraints({
        hostView->topAnchor()->constraintEqualToAnchor(root->topAnchor()),
        hostView->trailingAnchor()->constraintEqualToAnchor(root->trailingAnchor()),
    });

    setView(root);
    host->didMoveToParentViewController(std::static_pointer_cast<ui::ViewController>(self()));
}

void RootViewController::viewDidAppear(bool animated) {
    ViewController::viewDidAppear(animated);
    if (auto root = viewIfLoaded()) applyLayout(root->frame().size.width);
}

void RootViewController::viewWillTransitionToSize(
    ui::Size size, const base::Ref<ui::TransitionCoordinator>& coordinator) {
    ViewController::viewWillTransitionToSize(size, coordinator);
    applyLayout(size.width);
}

void RootViewController::applyLayout(double width) {
    if (!isViewLoaded()) return;
    ui::LayoutConstraint::deactivateConstraints({
        liveViewFullWidthConstraint_,
        liveViewFullHeightConstraint_,
        liveViewHalfWidthConstraint_,
        liveViewHalfHeightConstraint_,
    });
    if (configuration_ == LiveViewConfiguration::fullScreen) {
        ui::LayoutConstraint::activateConstraints(
            {liveViewFullWidthConstraint_, liveViewFullHeightConstraint_});
    } else if (width > narrowWidthLimit) {
        ui::LayoutConstraint::activateConstraints(
            {liveViewHalfWidthConstraint_, liveViewFullHeightConstraint_});
    } else {
        ui::LayoutConstraint::activateConstraints(
            {liveViewFullWidthConstraint_, liveViewHalfHeightConstraint_});
    }
}

}  // namespace stagehand
