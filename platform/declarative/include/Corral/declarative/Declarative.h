#pragma once
// The whole declarative toolkit.

#include "Corral/declarative/AnyView.h"
#include "Corral/declarative/Fill.h"
#include "Corral/declarative/HostingController.h"
#include "Corral/declarative/HostingView.h"
#include "Corral/declarative/Stack.h"
#include "Corral/declarative/Text.h"
#include "Corral/declarative/TextView.h"
