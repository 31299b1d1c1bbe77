#pragma once
// Every object kind of the base library in one include.

#include "base/Array.h"
#include "base/Block.h"
#include "base/Data.h"
#include "base/Date.h"
#include "base/Dictionary.h"
#include "base/Null.h"
#include "base/Number.h"
#include "base/Object.h"
#include "base/String.h"
#include "base/Value.h"
