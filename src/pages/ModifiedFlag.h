#pragma once

// The process-wide modified flag: 1 when the parameters shown differ from
// those last read from or written to a file. Set by the pages and by a
// device read that brought different values; cleared only by a successful
// file read or write.
extern int modifiedFlag;
