// vCard files as address books export them: names, numbers and addresses of versions 3 and 4, folded and
// escaped lines, and files that are cut short or are no vCards at all.
#include "conversations/vcard.h"

#include <gtest/gtest.h>

#include "conversations/contacts_book.h"
#include "support/temp_dir.h"

namespace quillmark {
namespace {

TEST(VCardTest, ReadsNamesNumbersAndAddressesOfBothVersions) {
    const auto cards = VCard::parse(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Berg;Anna;;;\r\nFN:Anna Berg\r\nTEL;TYPE=CELL;TYPE=pref:+1 (555) 123-\r\n"
        " 4567\r\nitem1.EMAIL;type=INTERNET:anna@example.com\r\nitem1.X-ABLabel:_$!<Other>!$_\r\nEND:VCARD\r\n"
        "begin:vcard\nversion:4.0\nfn:Ben Okafor\ntel;value=uri;type=\"cell,voice\":tel:+44-20-7946-0018\n"
        "email;pref=1:ben@example.com\nend:vcard\n"
        "BEGIN:VCARD\nVERSION:3.0\nN:;;;;\nFN:Café\\, Bar & Co\nORG:Café\\, Bar & Co;Kitchen\nTEL:+33 1 23 45 67 89\n"
        "END:VCARD\n"
        "BEGIN:VCARD\nVERSION:3.0\nN:O\\;Neil;Cleo\nNICKNAME:Cle,C\nEND:VCARD\n");
    ASSERT_EQ(cards.size(), 4u);
    EXPECT_EQ(cards[0].name, "Anna Berg");
    EXPECT_EQ(cards[0].phones, std::vector<std::string>{"+1 (555) 123-4567"});  // the folded line joined
    EXPECT_EQ(cards[0].emails, std::vector<std::string>{"anna@example.com"});
    EXPECT_EQ(cards[1].name, "Ben Okafor");
    EXPECT_EQ(cards[1].phones, std::vector<std::string>{"+44-20-7946-0018"});
    EXPECT_EQ(cards[1].emails, std::vector<std::string>{"ben@example.com"});
    EXPECT_EQ(cards[2].name, "Café, Bar & Co");
    EXPECT_EQ(cards[3].name, "Cleo O;Neil");
    EXPECT_TRUE(cards[3].phones.empty());
}

TEST(VCardTest, DamagedFilesGiveOnlyWholeCards) {
    EXPECT_TRUE(VCard::parse("").empty());
    EXPECT_TRUE(VCard::parse("\x89PNG\r\n\x1a\n\0\0").empty());
    const auto cut = VCard::parse("BEGIN:VCARD\nFN:Anna\nTEL:1\nEND:VCARD\nBEGIN:VCARD\nFN:Ben\nTEL:2\nN:x\\");
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].name, "Anna");
}

TEST(VCardTest, AContactsFileAddsToTheBook) {
    testing::TempDir temp;
    const auto file = temp.write("contacts.VCF", "BEGIN:VCARD\nVERSION:3.0\nN:Berg;Anna\nTEL:+15551234567\nEND:VCARD\n"
                                                 "BEGIN:VCARD\nVERSION:3.0\nFN:No Number\nEND:VCARD\n");
    ContactsBook book;
    EXPECT_EQ(book.load({file, temp / "missing.vcf"}), 1);
    EXPECT_EQ(book.name("5551234567"), "Anna Berg");
    EXPECT_EQ(book.cards().size(), 1u);  // a card without number or address is left out
}

}  // namespace
}  // namespace quillmark
