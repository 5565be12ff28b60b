#pragma once

#include "core/text/UserFileError.h"

#include <QString>

namespace vendrix::app {

/// Whether the failed operation was reading a file or saving one; some kinds read differently.
enum class UserFileAccess { reading, writing };

/// The user-facing description of a failed read or save, for an alert's informative text
/// ("“a.txt” açılamadı." / "“a.txt” kaydedilemedi." is the message above it).
[[nodiscard]] QString userFileErrorText(const UserFileError& error, UserFileAccess access);

} // namespace vendrix::app
