#include <QLineEdit>
#include <QtTest>

#include "widgets/KIntValidator.h"

class tst_KIntValidator : public QObject
{
    Q_OBJECT
private slots:
    void validate_data();
    void validate();
    void typingIntoAField();
    void fixupUsesBottom();
};

void tst_KIntValidator::validate_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    QTest::newRow("leading zeros vanish") << "007"
                                          << "7" << int(QValidator::Acceptable);
    QTest::newRow("keyword accepted unchanged")
        << "Proportional modification"
        << "Proportional modification" << int(QValidator::Acceptable);
    QTest::newRow("letters become 0, below range") << "abc"
                                                   << "0" << int(QValidator::Intermediate);
    QTest::newRow("above range") << "12000"
                                 << "12000" << int(QValidator::Invalid);
    QTest::newRow("in range") << "800"
                              << "800" << int(QValidator::Acceptable);
}

void tst_KIntValidator::validate()
{
    QFETCH(QString, input);
    QFETCH(QString, text);
    QFETCH(int, state);
    KIntValidator validator(1, 9999);
    int pos = input.size();
    QCOMPARE(int(validator.validate(input, pos)), state);
    QCOMPARE(input, text);
}

void tst_KIntValidator::typingIntoAField()
{
    QLineEdit edit;
    edit.setValidator(new KIntValidator(1, 9999, &edit));
    QTest::keyClicks(&edit, "007");
    QCOMPARE(edit.text(), QString("7"));
}

void tst_KIntValidator::fixupUsesBottom()
{
    KIntValidator validator(5, 100);
    QString text = "zz";
    validator.fixup(text);
    QCOMPARE(text, QString("5"));
}

QTEST_MAIN(tst_KIntValidator)
#include "tst_KIntValidator.moc"
