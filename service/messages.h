// The texts the wrapper shows: message boxes, button captions, the end-method
// list and the file-open dialog. They are defined in messages.cpp, which is
// compiled with code page 932 as its execution character set, so that every
// text reaches the 8-bit ("A") system functions as Shift-JIS bytes.
#pragma once

namespace corvane {

extern const char CAPTION_ERROR[];

extern const char MSG_CANNOT_STOP[];
extern const char MSG_NAME_EMPTY[];
extern const char MSG_PROGRAM_EMPTY[];
extern const char MSG_ASK_REGISTER[];
extern const char MSG_REGISTERED[];
extern const char MSG_REGISTER_FAILED[];
extern const char MSG_EXE_ONLY[];
extern const char MSG_ASK_DELETE[];
extern const char MSG_DELETED[];
extern const char MSG_DELETE_FAILED[];
extern const char MSG_TEST_STARTED[];
// Formats with "%d": the longest service name, the longest path and option.
extern const char MSG_NAME_TOO_LONG[];
extern const char MSG_COMMAND_TOO_LONG[];

extern const char LABEL_RUN_TEST[];
extern const char LABEL_DELETE[];

// The end-method list: index 0 and 1 are end methods 0 and 1.
extern const char END_LABEL_CLOSE[];
extern const char END_LABEL_SYSCOMMAND[];

// One filter pair, the list ended by an empty string.
extern const char BROWSE_FILTER[];
extern const unsigned BROWSE_FILTER_BYTES;
extern const char BROWSE_TITLE[];

}  // namespace corvane
