#pragma once
// The whole public interface of Stagehand.

#include "Stagehand/AppDelegate.h"
#include "Stagehand/LiveViewConfiguration.h"
#include "Stagehand/SGHHostViewController.h"
#include "Stagehand/SGHInitialize.h"
#include "Stagehand/SGHostingView.h"
