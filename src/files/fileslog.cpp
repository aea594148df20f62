// The logging category of the files layer.
#include "fileslog.h"

Q_LOGGING_CATEGORY(lcFiles, "darni.files")
