// The parser of what orvane-jet-reader writes, on torn and forged messages: a damaged message is an
// error (AutomationError), never a fault, a hang or an allocation of what a forged count claims.
#include "Automation.h"
#include "FuzzDriver.h"
#include "JetCatalogReader.h"
#include "JetCatalogueModel.h"
#include "JetReaderFormat.h"

#include <QString>

#include <cstring>

namespace {

class Message
{
public:
    Message& u32(std::uint32_t v)
    {
        m_bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
        return *this;
    }
    Message& str(const char* s)
    {
        u32(std::uint32_t(std::strlen(s)));
        m_bytes.append(s);
        return *this;
    }
    QByteArray bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

Message opening()
{
    return Message().u32(jetreader::kJetReaderMagic).u32(jetreader::kJetReaderVersion);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace jetreader;
    const QByteArray catalogue = opening()
                                     .u32(kTagTable)
                                     .str("Customers")
                                     .u32(5)
                                     .u32(0)
                                     .str("People who order")
                                     .u32(1)
                                     .str("ValidationRule")
                                     .str("[Id]>0")
                                     .u32(2)
                                     .str("Id")
                                     .u32(4)
                                     .u32(4)
                                     .u32(kColumnFixed | kColumnAutoLong)
                                     .u32(0)
                                     .u32(0)
                                     .str("")
                                     .str("")
                                     .str("")
                                     .u32(0)
                                     .str("Name")
                                     .u32(10)
                                     .u32(80)
                                     .u32(kColumnRequired)
                                     .u32(0)
                                     .u32(0)
                                     .str("\"n/a\"")
                                     .str("")
                                     .str("Full name")
                                     .u32(2)
                                     .str("Caption")
                                     .str("Name")
                                     .str("DisplayControl")
                                     .str("111")
                                     .u32(2)
                                     .str("PrimaryKey")
                                     .u32(kIndexPrimary | kIndexUnique)
                                     .u32(1)
                                     .str("Id")
                                     .u32(0)
                                     .str("ByName")
                                     .u32(0)
                                     .u32(1)
                                     .str("Name")
                                     .u32(1)
                                     .u32(kTagTable)
                                     .str("MSysObjects")
                                     .u32(2)
                                     .u32(0x80000002u)
                                     .str("")
                                     .u32(0)
                                     .u32(0)
                                     .u32(0)
                                     .u32(kTagLink)
                                     .str("Orders")
                                     .u32(9)
                                     .u32(kLinkJet)
                                     .u32(0)
                                     .str("Orders")
                                     .str("C:\\b.mdb")
                                     .str(";PWD=x")
                                     .u32(kTagRelation)
                                     .str("CustomersOrders")
                                     .str("Orders")
                                     .str("CustomerId")
                                     .str("Customers")
                                     .str("Id")
                                     .u32(0)
                                     .u32(kRelationCascadeDeletes)
                                     .u32(kTagComplex)
                                     .str("Tags")
                                     .u32(5)
                                     .u32(77)
                                     .u32(kTagQuery)
                                     .str("Orders by Name")
                                     .u32(0x0F000100)
                                     .u32(0)
                                     .str("By name")
                                     .u32(3)
                                     .u32(6)
                                     .u32(0)
                                     .str("")
                                     .str("")
                                     .str("Customers.Name")
                                     .u32(5)
                                     .u32(0)
                                     .str("Customers")
                                     .str("")
                                     .str("")
                                     .u32(7)
                                     .u32(1)
                                     .str("Customers")
                                     .str("Orders")
                                     .str("Customers.Id = Orders.CustomerId")
                                     .u32(kTagColumns)
                                     .u32(1)
                                     .str("Name")
                                     .u32(kTagRow)
                                     .str("MSysObjects")
                                     .u32(kTagEnd)
                                     .u32(7)
                                     .bytes();
    const QByteArray query = opening()
                                 .u32(kTagColumns)
                                 .u32(2)
                                 .str("Name")
                                 .str("Flags")
                                 .u32(kTagRow)
                                 .str("MSysObjects")
                                 .str("-2147483646")
                                 .u32(kTagEnd)
                                 .u32(1)
                                 .bytes();
    const QByteArray error = opening().u32(kTagError).u32(3031).str("Not a valid password.").bytes();
    QByteArray tag(4, '\0');
    FuzzTarget target{"fuzz_reader_output", {catalogue, query, error}, {}, {}};
    for (std::uint32_t t : {kTagTable, kTagLink, kTagRelation, kTagComplex, kTagQuery, kTagColumns, kTagRow,
                            kTagError, kTagEnd, 0xFFFFFFFFu, 0x7FFFFFFFu}) {
        std::memcpy(tag.data(), &t, 4);
        target.tokens << tag;
    }
    target.run = [](const QByteArray& input) {
        const QString path = QStringLiteral("/fuzz.mdb");
        try {
            // The model is made of whatever the parser accepted.
            JetCatalogueModel(ParseJetCatalogueMessage(input, path), JetFileHeader(), path);
        } catch (const AutomationError&) {
        }
        try {
            ParseJetQueryMessage(input, path);
        } catch (const AutomationError&) {
        }
    };
    return RunFuzzer(argc, argv, target);
}
