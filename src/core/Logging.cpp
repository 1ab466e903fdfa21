#include "core/Logging.h"

Q_LOGGING_CATEGORY(lcChat, "tavo.chat")
Q_LOGGING_CATEGORY(lcCloud, "tavo.cloud")
Q_LOGGING_CATEGORY(lcDnsSd, "tavo.dnssd", QtInfoMsg)
Q_LOGGING_CATEGORY(lcMusic, "tavo.music")
Q_LOGGING_CATEGORY(lcPlatform, "tavo.platform")
Q_LOGGING_CATEGORY(lcShell, "tavo.shell")
Q_LOGGING_CATEGORY(lcSkills, "tavo.skills", QtInfoMsg)
Q_LOGGING_CATEGORY(lcVoice, "tavo.voice")
