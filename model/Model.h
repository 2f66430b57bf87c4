#pragma once

/// Everything of the debug-information model in one include.
#include "model/BasicObject.h"
#include "model/ProgramObjects.h"
#include "model/StatementList.h"
#include "model/TypeObjects.h"
