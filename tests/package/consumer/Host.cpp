#include "Corral/Corral.h"

int main() {
    const base::Class* corral = base::Runtime::shared().lookUpClass("_CorralFramework");
    if (!corral) return 1;
    corral->send("setExecutionModeToStep");
    return PaddockPage::current().executionMode() == PaddockPage::ExecutionMode::step ? 0 : 2;
}
