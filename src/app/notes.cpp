#include "app/notes.h"

#include "platform/folder.h"

namespace tovrin {

namespace {

struct NoteLine {
    int blanksBefore;
    const char16_t* text;
    bool withTemplatePath;  // the text goes on with the template's path and "的格式，"
    int blanksAfter;
    int lineBreaks;
};

constexpr NoteLine kNotes[] = {
    {38, u"自带语音提示—Tovrin找零软件使用说明", false, 48, 2},
    {10, u"Tovrin找零软件是一款简单易用的找零软件，当商品只有一个时，输入实收金额，商品价格，数量，折扣率，",
     false, 0, 1},
    {4,
     u"再单击“找零”按钮，即可自动计算出找零金额，其中商品数量默认为：1个，折扣率默认为：100%，即没有折扣，",
     false, 1, 1},
    {4, u"如果折扣为八五折，则应输入：85，表明折扣率为：85%。", false, 0, 2},
    {9, u"如果商品不止一个，在输入商品价格后，在该文本框中，再按回车键Enter ,可以将商品一起结账后，再找零！",
     false, 0, 2},
    {4, u"在商品累计的过程中，会有这一过程的跟踪显示，用户可以亲自核算一下。", false, 0, 2},
    {9, u"当错误录入某种商品价格时，只需将该商品的负数价格录入，即可更正金额累计！", false, 0, 2},
    {9, u"单击”更新条码价格“按钮之前，请按照", true, 0, 1},
    {4, u"更新商品的（条码，商品名称，销售价）3列条目即可，以便通过扫描条码结算商品金额！", false, 0, 2},
    {9, u"单击”价格结算“按钮，可以更改商品结算的方式为：条码结算，同时按钮显示为“条码结算”，再次单击按钮，",
     false, 0, 1},
    {4, u"则会恢复到“价格结算”方式！", false, 0, 2},
    {9,
     u"单击”统计“按钮，在弹出的对话框中，选择“是”，可以将当天或当月的交易金额明细统计显示出来，选择“否”，可"
     u"以",
     false, 0, 1},
    {4, u"将当天或当月的商品销售明细统计出来！这一点，留给用户再次核算是否正确。", false, 0, 2},
};

}  // namespace

QString usageNotes(const QString& folder) {
    const QString crlf = QStringLiteral("\r\n");
    QString notes = crlf;
    for (const NoteLine& line : kNotes) {
        notes += QString(line.blanksBefore, QLatin1Char(' '));
        notes += QString::fromUtf16(line.text);
        if (line.withTemplatePath)
            notes += folderFile(folder, kTemplateWorkbook) + QStringLiteral("的格式，");
        notes += QString(line.blanksAfter, QLatin1Char(' '));
        notes += crlf.repeated(line.lineBreaks);
    }
    return notes;
}

}  // namespace tovrin
