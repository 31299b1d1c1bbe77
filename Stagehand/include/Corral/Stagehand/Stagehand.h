#pragma once
// The whole public interface of Stagehand.

#include "Corral/Stagehand/AppDelegate.h"
#include "Corral/Stagehand/LiveViewConfiguration.h"
#include "Corral/Stagehand/SGHHostViewController.h"
#include "Corral/Stagehand/SGHInitialize.h"
#include "Corral/Stagehand/SGHostingView.h"
