#pragma once
// The whole declarative toolkit.

#include "declarative/AnyView.h"
#include "declarative/Fill.h"
#include "declarative/HostingController.h"
#include "declarative/HostingView.h"
#include "declarative/Stack.h"
#include "declarative/Text.h"
#include "declarative/TextView.h"
