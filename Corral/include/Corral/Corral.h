#pragma once
// Everything page code and hosts use from Corral.

#include "Corral/CorralFramework.h"
#include "Corral/PaddockKeyValueStore.h"
#include "Corral/PaddockLiveViewSafeArea.h"
#include "Corral/PaddockLiveViewable.h"
#include "Corral/PaddockPage.h"
#include "Corral/PaddockRemoteView.h"
#include "Corral/PaddockValue.h"
#include "Corral/base/NotificationCenter.h"
#include "Corral/base/Objects.h"
#include "Corral/base/Print.h"
#include "Corral/base/Runtime.h"
