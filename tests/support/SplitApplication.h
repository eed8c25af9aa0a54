// A split Access application for the linked-table tests: a front-end whose tables are mostly links,
// the back-ends they point to, and the report body they give.
#pragma once

#include <QString>
#include <QStringList>

// The password of the protected back-end (and of the front-end, when it is protected too).
inline const QString kSplitPassword = QStringLiteral("Sesam");

// Writes into folder (which must exist):
//   front.mdb   local table Notes; links Customers and Orders to "C:\data\back.mdb", Gone to the
//               missing "C:\data\gone.mdb", LockedPwd to "C:\data\locked.mdb" with ";PWD=Sesam",
//               LockedNoPwd to the same file without a password, and the ODBC link Remote;
//               protected by kSplitPassword when protectFrontEnd
//   BACK.MDB    Jet 3 back-end of Customers and Orders, found by the stored name in another case
//   locked.mdb  back-end of Ledger, protected by kSplitPassword
// Returns the front-end's path.
QString WriteSplitApplication(const QString& folder, bool protectFrontEnd = false);

// The tables of the front-end, in catalogue order, without its system tables.
QStringList SplitApplicationTables();

// The report lines of every table of the front-end, after the header and before the closing frame
// ('*' frames). Unresolved links show their title line only; LockedNoPwd resolves only when the
// front-end's own password opens its back-end.
QStringList SplitApplicationReportBody(bool protectedFrontEnd);
