// The underlined letters given to a row of answer buttons.
#include "app/mnemonics.h"

#include <QtTest>

using namespace qeltx;

class MnemonicsTest : public QObject {
    Q_OBJECT
private slots:
    void eachButtonGetsALetterOfItsOwn_data();
    void eachButtonGetsALetterOfItsOwn();
};

void MnemonicsTest::eachButtonGetsALetterOfItsOwn_data() {
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QStringList>("underlined");
    QTest::newRow("word starts first") << QStringList{"Store on pedal", "Save preset…", "Discard", "Cancel"}
                                       << QStringList{"&Store on pedal", "Save &preset…", "&Discard", "&Cancel"};
    QTest::newRow("then any letter") << QStringList{"Back", "Backup"} << QStringList{"&Back", "B&ackup"};
    QTest::newRow("case does not make a new letter") << QStringList{"yes", "Yank"} << QStringList{"&yes", "Y&ank"};
    QTest::newRow("none left") << QStringList{"A", "a", "1"} << QStringList{"&A", "a", "1"};
    QTest::newRow("an ampersand is shown") << QStringList{"R&B", "Rock"} << QStringList{"&R&&B", "R&ock"};
    QTest::newRow("ampersand before the letter") << QStringList{"&x", "x&y"} << QStringList{"&&&x", "x&&&y"};
}

void MnemonicsTest::eachButtonGetsALetterOfItsOwn() {
    QFETCH(QStringList, captions);
    QFETCH(QStringList, underlined);
    QCOMPARE(app::withMnemonics(captions), underlined);
}

QTEST_GUILESS_MAIN(MnemonicsTest)
#include "test_mnemonics.moc"
