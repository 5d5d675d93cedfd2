// The XML layer and the binding on arbitrary bytes: load, then walk every
// list and every field of every dream.
#include "FuzzFolder.h"
#include "core/DreamBinding.h"
#include "platform/text/PathText.h"
#include "platform/xml/XmlDom.h"

namespace {

template <typename List, typename Get>
void Walk(const List& list, Get get) {
    for (int i = 0; i < list->Get_Count(); ++i)
        (void)get(i);
}

void Try(void (*f)(const IXMLDreamTypePtr&), const IXMLDreamTypePtr& dream) {
    try {
        f(dream);
    } catch (const XmlError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteFuzzFile("data.xml", data, size);
    try {
        auto document = TXMLDocument::Create(platform::PathToWide(FuzzFolder() + "/data.xml"));
        IXMLContentsTypePtr contents = BindContents(*document);
        if (!contents)
            return 0;
        auto clocks = contents->Get_Clocks();
        Walk(clocks, [&](int i) { return clocks->Get_Clock(i); });
        auto types = contents->Get_Types();
        Walk(types, [&](int i) { return types->Get_Type(i); });
        auto places = contents->Get_Places();
        Walk(places, [&](int i) { return places->Get_Place(i); });
        auto positions = contents->Get_Positions();
        Walk(positions, [&](int i) { return positions->Get_Position(i); });
        auto dreams = contents->Get_Dreams();
        for (int i = 0; i < dreams->Get_Count(); ++i) {
            IXMLDreamTypePtr dream = dreams->Get_Dream(i);
            Try([](const IXMLDreamTypePtr& d) { (void)d->Get_Dt(); }, dream);
            Try([](const IXMLDreamTypePtr& d) { (void)d->Get_Clock(); }, dream);
            Try([](const IXMLDreamTypePtr& d) { (void)d->Get_Subject(); }, dream);
            Try([](const IXMLDreamTypePtr& d) { (void)d->Get_Type(); }, dream);
            Try([](const IXMLDreamTypePtr& d) { (void)d->Get_Place(); }, dream);
            Try([](const IXMLDreamTypePtr& d) { (void)d->Get_Position(); }, dream);
            Try([](const IXMLDreamTypePtr& d) { (void)d->Get_Clarity(); }, dream);
            Try([](const IXMLDreamTypePtr& d) { (void)d->Get_Duration(); }, dream);
            Try([](const IXMLDreamTypePtr& d) { (void)d->Get_Text(); }, dream);
        }
        // What was read must save, and the saved document must load again.
        document->SaveToFile(platform::PathToWide(FuzzFolder() + "/saved.xml"));
        TXMLDocument::Create(platform::PathToWide(FuzzFolder() + "/saved.xml"));
    } catch (const XmlError&) {
    }
    return 0;
}
