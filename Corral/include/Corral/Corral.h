#pragma once
// Everything page code and hosts use from Corral.

#include "Corral/CorralFramework.h"
#include "Corral/PaddockKeyValueStore.h"
#include "Corral/PaddockLiveViewSafeArea.h"
#include "Corral/PaddockLiveViewable.h"
#include "Corral/PaddockPage.h"
#include "Corral/PaddockRemoteView.h"
#include "Corral/PaddockValue.h"
#include "base/NotificationCenter.h"
#include "base/Objects.h"
#include "base/Print.h"
#include "base/Runtime.h"
