#pragma once
// The report engine's model: the engine state, the stream encodings, the objects and their kinds,
// the pages, the values and the report component.

#include "report/rpBandView.h"
#include "report/rpEMFPages.h"
#include "report/rpEngine.h"
#include "report/rpExportFilter.h"
#include "report/rpLineView.h"
#include "report/rpMemoView.h"
#include "report/rpPages.h"
#include "report/rpPictureView.h"
#include "report/rpReport.h"
#include "report/rpResources.h"
#include "report/rpStreams.h"
#include "report/rpSubReportView.h"
#include "report/rpValues.h"
#include "report/rpView.h"
