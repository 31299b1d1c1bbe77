// Requests to move to another page, open another document, launch another
// application or show a glossary entry. Each becomes one link payload posted
// to the host.
#include <string>
#include "Corral/PaddockNotifications.h"

#include "Corral/PaddockPage.h"
#include "Corral/base/CharacterSet.h"
#include "Corral/base/Format.h"
#include "Corral/base/String.h"
#include "Corral/base/Value.h"

namespace {

const base::NotificationName& paddockPageRequestsToHandleLink() {
    static const base::NotificationName name = PaddockNotifications::requestsToHandleLink;
    return name;
}

// "" when absent, else the prefix followed by the plain signed decimal.
std::string suffix(const char* prefix, std::optional<std::int64_t> number) {
    return number ? prefix + std::to_string(*number) : std::string();
}

}  // namespace

void PaddockPage::postLinkRequest(std::string payload, std::optional<base::Rect> location) {
    base::Dictionary::Builder userInfo(2);
    userInfo.set(PaddockNotifications::Key::linkRequestPayload,
                 base::String::make(std::move(payload)));
    if (location) {
        userInfo.set(PaddockNotifications::Key::showGlossaryLocation,
                     base::Value::withRect(*location));
    }
    base::NotificationCenter::defaultCenter().post(paddockPageRequestsToHandleLink(), self(),
                                                   userInfo.build());
}

void PaddockPage::navigateTo(const PageNavigation& page) {
    switch (page.kind()) {
        case PageNavigation::Case::pageReference:
            return postLinkRequest(page.reference(), std::nullopt);
        case PageNavigation::Case::previous:
            return postLinkRequest("@previous", std::nullopt);
        case PageNavigation::Case::next:
            return postLinkRequest("@next", std::nullopt);
    }
}

void PaddockPage::openPaddock(const std::string& contentIdentifier,
                              std::optional<std::int64_t> pageIndex) {
    postLinkRequest(base::format("x-paddocks://document?contentIdentifier=%@%@",
                                 {base::String::make(contentIdentifier),
                                  base::String::make(suffix("&page=", pageIndex))}),
                    std::nullopt);
}

void PaddockPage::openApplication(const std::string& bundleIdentifier,
                                  std::optional<std::int64_t> bazaarItemIdentifier) {
    postLinkRequest(base::format("x-paddocks-launch-app://%@%@",
                                 {base::String::make(bundleIdentifier),
                                  base::String::make(suffix("?bazaarID=", bazaarItemIdentifier))}),
                    std::nullopt);
}

void PaddockPage::showGlossaryEntry(const std::string& name, std::optional<base::Rect> location,
                                    const base::Ref<ui::View>& view) {
    auto encoded = base::addingPercentEncoding(name, base::CharacterSet::urlHostAllowed());
    if (!encoded) return;
    if (view) {
        // Without a location, the centre of the view: only the size of its
        // bounds counts, not their origin.
        const base::Size size = view->bounds().size;
        const base::Rect inView =
            location.value_or(base::Rect(size.width / 2 - 1, size.height / 2 - 1, 2, 2));
        location = view->convertRect(inView, nullptr);
    }
    postLinkRequest("glossary://" + *encoded, location);
}
