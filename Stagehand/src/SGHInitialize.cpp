#include "Corral/Stagehand/SGHInitialize.h"

#include "Corral/CorralFramework.h"
#include "Corral/base/Block.h"

extern "C" void SGHInitialize(void) {
    CorralFramework::initializeCorralFramework();
    // Nobody carries messages out of a live-view process until a host
    // installs a sender of its own: drop them.
    CorralFramework::setLiveViewMessageSender(
        base::Block::make([](std::span<const base::ObjectRef>) { return base::ObjectRef(); }));
}
