// The logging category of the table layer.
#include "tablelog.h"

Q_LOGGING_CATEGORY(lcTable, "darni.table")
