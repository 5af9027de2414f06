#pragma once

class TDataSet;
// Clears to null every text field (not GUID) of the current record whose value, trimmed
// of blanks and control characters, is empty; other values are left as they are.
void NullBlankFields(TDataSet& dataSet);
