// Tour, page 3: the end of the tour.
#include "Corral/Corral.h"
#include "Corral/PaddockPageModule.h"

PADDOCK_PAGE_MAIN() {
    base::print("That was the tour.");
    PaddockPage::current().setAssessmentStatus(
        PaddockPage::AssessmentStatus::pass("Tour complete"));
}
