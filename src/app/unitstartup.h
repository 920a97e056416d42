#pragma once
// The units' own start-up, in unit order, before the window exists, and
// their end after it is gone.

void InitializeUnits();
void FinalizeUnits();
