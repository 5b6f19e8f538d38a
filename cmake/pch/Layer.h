// The layer's forms and data sets, which most tests above the layer include.
#pragma once
#include "platform/db/DB.h"
#include "platform/gui/Form.h"
