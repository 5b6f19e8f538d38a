#pragma once
// The data-set framework: data sets, fields, definitions, data sources and data links.

#include "platform/db/Bcd.h"
#include "platform/db/DBCommon.h"
#include "platform/db/DataSet.h"
#include "platform/db/DataSource.h"
#include "platform/db/Field.h"
#include "platform/db/FieldDefs.h"
#include "platform/db/StdFields.h"
