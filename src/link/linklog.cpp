// The logging category of the link layer.
#include "linklog.h"

Q_LOGGING_CATEGORY(lcLink, "darni.link")
