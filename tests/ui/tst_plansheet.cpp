#include "Sandbox.h"
#include "setup/config/SetupConfig.h"
#include "ui/wizard/PlanSheet.h"
#include "ui/wizard/ReviewPage.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace quillrig::test;

// "Show changes…" on the review page opens the plan of the selection with its diffs.
class TestPlanSheet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsTheDiffOfTheSelection()
    {
        Sandbox sandbox;
        Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), "plugins=(git)\n");
        ReviewPage page(SetupConfig::defaults(), { SetupComponent::shell }, {});
        page.show();
        auto *button = page.findChild<QPushButton *>(u"showChanges"_s);
        QVERIFY(button);
        button->click();
        auto *sheet = page.findChild<PlanSheet *>(u"planSheet"_s);
        QVERIFY(sheet);
        auto *text = sheet->findChild<QPlainTextEdit *>(u"planText"_s);
        QTRY_VERIFY(text->toPlainText().contains(u"+# Custom aliases (managed by quillrig-cli)"_s));
        QVERIFY(!text->toPlainText().contains(u"Oh My Zsh"_s));
        QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), QByteArray("plugins=(git)\n"));
    }
};

QTEST_MAIN(TestPlanSheet)
#include "tst_plansheet.moc"
