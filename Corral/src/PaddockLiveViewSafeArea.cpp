#include "Corral/PaddockLiveViewSafeArea.h"

// Defined here so that the class has one home in the library.
PaddockLiveViewSafeAreaContainer::~PaddockLiveViewSafeAreaContainer() = default;
