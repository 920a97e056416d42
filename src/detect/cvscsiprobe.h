#pragma once
// SCSI disk discovery: opens the physical drives, logs their log pages and
// links every drive whose pages are valid as a SCSI disk sensor.

struct TDetectionContext;

void ProbeSCSI(TDetectionContext& context);
