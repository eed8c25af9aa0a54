// Password-protected .accdb files through the whole program: the Jet writer encrypts a plain ACE
// file in each scheme, and orvane-report (in process, through the real reader program) must report
// exactly what it reports for the plain twin; wrong passwords are refused as a wrong .mdb password
// is, and damaged encryption data or a file cut short is a damaged file, never a crash.
#include "Automation.h"
#include "CommandRuns.h"
#include "JetCatalogReader.h"
#include "JetEncryption.h"
#include "JetWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>

namespace {

const QString kPassword = QStringLiteral("Schlüssel€1");

jet::Database plainDatabase()
{
    jet::Database db = jet::sampleDatabase(jet::Format::Ace12);
    db.tables.append(jet::everyTypeTable());
    return db;
}

QByteArray encrypted(jet::Encryption scheme, const jet::Database& db = plainDatabase(),
                     const QString& password = kPassword)
{
    jet::EncryptionOptions options;
    options.scheme = scheme;
    options.password = password;
    options.seed = 14;
    return jet::encryptImage(jet::buildFile(db), options);
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A report with the file's path and the date line (the clock's) taken out.
QByteArray comparable(QByteArray report, const QString& path)
{
    report.replace(path.toUtf8(), "<file>");
    QList<QByteArray> lines = report.split('\n');
    lines.removeIf([](const QByteArray& line) { return line.trimmed().startsWith("*** Date:"); });
    return lines.join('\n');
}

// Opens path through the Access provider and reads every table's columns; the help context of
// what failed (0: it opened), with its text.
int openAndWalk(const QString& path, const QString& password, QString* text = nullptr)
{
    Variant catalog = CreateOleObject(QStringLiteral("ADOX.Catalog"));
    try {
        catalog.put(
            QStringLiteral("ActiveConnection"),
            Variant(QStringLiteral("Data Source=%1;Jet OLEDB:Database Password=%2").arg(path, password)));
        const Variant tables = catalog.get(QStringLiteral("Tables"));
        const int n = tables.get(QStringLiteral("Count")).toInt();
        for (int i = 0; i < n; ++i) {
            const Variant columns =
                tables.get(QStringLiteral("Item"), {Variant(i)}).get(QStringLiteral("Columns"));
            columns.get(QStringLiteral("Count")).toInt();
        }
    } catch (const AutomationError& e) {
        if (text)
            *text = e.description();
        return e.helpContext();
    }
    return 0;
}

class EncryptedAccdb : public ::testing::TestWithParam<jet::Encryption>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("plain")));
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("locked")));
        m_plain = m_dir.filePath(QStringLiteral("plain/shop.accdb"));
        m_locked = m_dir.filePath(QStringLiteral("locked/shop.accdb"));
        jet::writeFile(m_plain, plainDatabase());
        ASSERT_TRUE(writeBytes(m_locked, encrypted(GetParam())));
    }

    QTemporaryDir m_dir;
    QString m_plain;
    QString m_locked;
};

TEST_P(EncryptedAccdb, ReportsExactlyWhatItsPlainTwinReports)
{
    for (const QStringList& options : {QStringList{}, QStringList{QStringLiteral("--system-tables")}}) {
        const QStringList common = QStringList{QStringLiteral("--language"), QStringLiteral("en")} + options;
        const CommandRun plain = RunCommandInProcess(common + QStringList{m_plain});
        const CommandRun locked = RunCommandInProcess(
            common + QStringList{QStringLiteral("--password-stdin"), m_locked}, kPassword.toUtf8() + '\n');
        ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
        ASSERT_EQ(locked.exitCode, 0) << locked.err.toStdString();
        EXPECT_TRUE(plain.out.contains("AllTypes"));
        EXPECT_EQ(comparable(locked.out, m_locked).toStdString(),
                  comparable(plain.out, m_plain).toStdString());
    }
}

TEST_P(EncryptedAccdb, RefusesWrongEmptyAndCaseChangedPasswords)
{
    for (const QString& wrong : {QStringLiteral("Schlüssel€2"), QString(), QStringLiteral("schlüssel€1"),
                                 QStringLiteral("SCHLÜSSEL€1"), kPassword + QLatin1Char(' ')}) {
        SCOPED_TRACE(wrong.toStdString());
        const CommandRun run =
            RunCommandInProcess({QStringLiteral("--password-stdin"), m_locked}, wrong.toUtf8() + '\n');
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "5003031: Not a valid password.\n");
        EXPECT_TRUE(run.out.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, EncryptedAccdb,
    ::testing::Values(jet::Encryption::Rc4Crypto40, jet::Encryption::Rc4Crypto128,
                      jet::Encryption::StandardAes128, jet::Encryption::NonStandardAes256,
                      jet::Encryption::AgileAes128Sha1, jet::Encryption::AgileAes256Sha512),
    [](const ::testing::TestParamInfo<jet::Encryption>& p) {
        return jet::encryptionName(p.param).replace(QLatin1Char('-'), QLatin1Char('_')).toStdString();
    });

// --- what is not the password -----------------------------------------------------------------

class EncryptedAccdbDamage : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_oldTimeout = JetReaderTimeout();
        SetJetReaderTimeout(5000);
        s_rc4 = new QByteArray(encrypted(jet::Encryption::Rc4Crypto40));
        s_agile = new QByteArray(encrypted(jet::Encryption::AgileAes128Sha1));
    }
    static void TearDownTestSuite()
    {
        SetJetReaderTimeout(s_oldTimeout);
        delete s_rc4;
        delete s_agile;
    }

    int open(const QByteArray& bytes, QString* text = nullptr, const QString& password = kPassword)
    {
        const QString path = m_dir.filePath(QStringLiteral("damaged.accdb"));
        if (!writeBytes(path, bytes))
            ADD_FAILURE() << "cannot write the test file";
        return openAndWalk(path, password, text);
    }

    static QByteArray patched(QByteArray bytes, int at, std::uint32_t value, int width)
    {
        for (int i = 0; i < width; ++i)
            bytes[at + i] = char((value >> (8 * i)) & 0xFF);
        return bytes;
    }

    static QByteArray* s_rc4;
    static QByteArray* s_agile;
    static int s_oldTimeout;
    QTemporaryDir m_dir;
};
QByteArray* EncryptedAccdbDamage::s_rc4 = nullptr;
QByteArray* EncryptedAccdbDamage::s_agile = nullptr;
int EncryptedAccdbDamage::s_oldTimeout = 0;

constexpr int kInfo = 0x29B;

TEST_F(EncryptedAccdbDamage, TheUndamagedFilesOpen)
{
    EXPECT_EQ(open(*s_rc4), 0);
    EXPECT_EQ(open(*s_agile), 0);
}

// Each field of the facts sheet's section 9 (the RC4 file's CSP name makes its header 118 bytes:
// the verifier starts at 12 + 118).
TEST_F(EncryptedAccdbDamage, DamagedCryptoApiFieldsAreADamagedFile)
{
    struct Field
    {
        const char* label;
        int at;
        std::uint32_t value;
        int width;
    };
    const Field fields[] = {
        {"length 0", 0x299, 0, 2},
        {"length past the page", 0x299, 4000, 2},
        {"length cuts the verifier", 0x299, 12 + 118 + 59, 2},
        {"unknown version", kInfo, 9, 2},
        {"header size below 32", kInfo + 8, 20, 4},
        {"header size past the end", kInfo + 8, 3000, 4},
        {"no CryptoAPI flag", kInfo + 12, 0, 4},
        {"unknown AlgID", kInfo + 20, 0x6666, 4},
        {"unknown AlgIDHash", kInfo + 24, 0x8003, 4},
        {"key size out of range", kInfo + 28, 256, 4},
        {"key size not whole bytes", kInfo + 28, 41, 4},
        {"salt size", kInfo + 12 + 118, 8, 4},
        {"verifier hash size", kInfo + 12 + 118 + 36, 16, 4},
    };
    for (const Field& f : fields) {
        QString text;
        EXPECT_EQ(open(patched(*s_rc4, f.at, f.value, f.width), &text), 5003049) << f.label;
        EXPECT_TRUE(text.startsWith(QLatin1String("Cannot open database"))) << f.label;
    }
}

// The agile description's attributes one by one: test_accdb_crypto, on the parser alone.
TEST_F(EncryptedAccdbDamage, DamagedAgileDescriptionsAreADamagedFile)
{
    EXPECT_EQ(open(patched(*s_agile, kInfo + 4, 0x41, 4)), 5003049) << "reserved";
    QByteArray broken = *s_agile;
    broken.replace("<keyData ", "<keyData<");
    EXPECT_EQ(open(broken), 5003049) << "not well-formed";
}

TEST_F(EncryptedAccdbDamage, UnsupportedSchemesSayWhichScheme)
{
    QString text;
    EXPECT_EQ(open(patched(*s_rc4, kInfo + 2, 3, 2), &text), 5003343);
    EXPECT_TRUE(text.contains(QLatin1String("extensible encryption"))) << text.toStdString();
    QByteArray des = *s_agile;
    des.replace("cipherAlgorithm=\"AES\"", "cipherAlgorithm=\"DES\"");
    EXPECT_EQ(open(des, &text), 5003343);
    EXPECT_TRUE(text.contains(QLatin1String("agile encryption with the cipher DES"))) << text.toStdString();
}

TEST_F(EncryptedAccdbDamage, PagesThatDecryptToNoPagesAreADamagedFile)
{
    QByteArray bytes = *s_agile;
    for (int i = 0; i < 32; ++i)
        bytes[2 * 4096 + i] = char(~bytes[2 * 4096 + i]);
    EXPECT_EQ(open(bytes), 5003049);
    // Elsewhere damage stays in its page: the reader reads on or refuses, never crashes.
    for (qsizetype page = 1; page < s_rc4->size() / 4096; ++page) {
        bytes = *s_rc4;
        bytes[page * 4096 + 100] = char(~bytes[page * 4096 + 100]);
        const int result = open(bytes);
        EXPECT_TRUE(result == 0 || result == 5003049) << "page " << page << ": " << result;
    }
}

TEST_F(EncryptedAccdbDamage, AFileCutShortIsADamagedFile)
{
    const qsizetype size = s_agile->size();
    // Too short for a catalogue, or no whole number of pages.
    for (qsizetype at :
         {qsizetype(4096), qsizetype(4096 + 1), qsizetype(2 * 4096), qsizetype(3 * 4096 + 7), size - 1}) {
        QString text;
        EXPECT_EQ(open(s_agile->left(at), &text), 5003049) << at << ": " << text.toStdString();
    }
    // Whole pages missing at the end: what is left decrypts, and is read as far as it goes.
    for (qsizetype at = 3 * 4096; at < size; at += 4096) {
        const int result = open(s_agile->left(at));
        EXPECT_TRUE(result == 0 || result == 5003049) << at << ": " << result;
    }
}

// Access leaves the Jet password field of the header alone in an encrypted file: whatever it
// holds, only the encryption's password counts.
TEST_F(EncryptedAccdbDamage, TheHeadersJetPasswordFieldIsIgnored)
{
    jet::Database db = plainDatabase();
    db.password = QStringLiteral("decoy");
    const QByteArray bytes = encrypted(jet::Encryption::Rc4Crypto128, db, QStringLiteral("right"));
    EXPECT_EQ(open(bytes, nullptr, QStringLiteral("right")), 0);
    EXPECT_EQ(open(bytes, nullptr, QStringLiteral("decoy")), 5003031);
}

} // namespace
