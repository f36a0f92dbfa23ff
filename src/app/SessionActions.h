#pragma once

#include <QString>

namespace fenban {

// The folder the windows keep their recovery files in:
// QStandardPaths::AppDataLocation unless another was set. Empty: none kept.
QString RecoveryFolder();
// Sets it for the windows made from now on (tests: a folder of their own);
// an empty text gives back the default.
void SetRecoveryFolder(const QString& folder);

// The suffix of division files and the name filter of the file dialogs.
QString DivisionFileFilter(); // "分班文件 (*.fenban)"

} // namespace fenban
