#pragma once

// Text of string-table entry `strID`, loaded once and cached for the life of the
// process. Never null: a missing entry yields "Couldn't read string with ID : <id>".
// UI thread only.
const wchar_t* GetWstring(unsigned int strID);
