#pragma once
// Every object kind of the base library in one include.

#include "Corral/base/Array.h"
#include "Corral/base/Block.h"
#include "Corral/base/Data.h"
#include "Corral/base/Date.h"
#include "Corral/base/Dictionary.h"
#include "Corral/base/Null.h"
#include "Corral/base/Number.h"
#include "Corral/base/Object.h"
#include "Corral/base/String.h"
#include "Corral/base/Value.h"
