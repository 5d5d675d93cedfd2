// A POSIX file name is any byte string; Windows names are UTF-16, and Wine,
// which runs the Windows tests, cannot store one that is not valid Unicode.
#include <gtest/gtest.h>

#include "platform/text/PathText.h"
#include "platform/xml/XmlDom.h"
#include "support/TestSupport.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(XmlDomTest, FoldersWhoseNamesAreNotUtf8Work) {
    TempDir dir;
    const std::string folder =
        dir.File("\xd0\xa1\xd0\xbd\xd1\x8b \xff\xfe");  // "Сны" + two stray bytes
    testing_support::MakeFolder(folder);
    const std::string path = folder + "/data.xml";
    WriteFile(path, "<a>x</a>");
    auto doc = TXMLDocument::Create(platform::PathToWide(path));
    doc->Get_DocumentElement()->Set_Text(u"y");
    doc->SaveToFile(platform::PathToWide(path));
    EXPECT_NE(std::string::npos, ReadFile(path).find("<a>y</a>"));
}
