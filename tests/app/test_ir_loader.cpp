// Load IR with real audio files written by sox: the tap words that reach irImage for every
// sample kind and container, padding, the first channel only, the summary, refusals that leave
// irImage alone, and the merged image taken by the virtual pedal on Upload.
#include "app/main_window.h"
#include "app/print_console.h"
#include "core/hex.h"
#include "pedal_sim/pedal_model.h"
#include "resources/resource_store.h"
#include "support/test_seams.h"

#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <vector>


using namespace qeltx;

namespace {

constexpr int kSoxTimeoutMs = 30000;
constexpr int kImpulseResponseCategory = 5;
const QString kBasic = QStringLiteral("Basic IR Loader");

struct Loader {
    QString name;
    int taps;
    int firstByte;
};
const Loader kBasicGeometry{kBasic, 912, 230};
const Loader kCorvelGeometry{QStringLiteral("Corvel + IR Loader"), 703, 362};
const Loader kPexoGeometry{QStringLiteral("Pexo + IR Loader"), 703, 370};

Loader loaderNamed(const QString& name) {
    for (const Loader& l : {kBasicGeometry, kCorvelGeometry, kPexoGeometry}) {
        if (l.name == name) return l;
    }
    return {};
}

// Runs sox; on failure the test fails with sox's own words.
bool runSox(const QStringList& args, QString* problem) {
    QProcess sox;
    sox.start(QStringLiteral("sox"), args);
    if (!sox.waitForFinished(kSoxTimeoutMs) || sox.exitStatus() != QProcess::NormalExit || sox.exitCode() != 0) {
        *problem = QStringLiteral("sox ") + args.join(QLatin1Char(' ')) + QStringLiteral(": ") +
                   QString::fromLocal8Bit(sox.readAllStandardError());
        return false;
    }
    return true;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

void putLe32(QByteArray& b, qsizetype at, quint32 v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

QByteArray chunk(const char* id, const QByteArray& body) {
    QByteArray c(id, 4);
    c.append(QByteArray(4, '\0'));
    putLe32(c, 4, static_cast<quint32>(body.size()));
    c.append(body);
    if (body.size() % 2) c.append('\0');
    return c;
}

// What other programs leave in a WAV: JUNK and a LIST before "fmt ", another LIST before "data".
QByteArray withForeignChunks(QByteArray wav) {
    const QByteArray junk = chunk("JUNK", QByteArray(27, '\0'));
    const QByteArray info = chunk("LIST", QByteArray("INFO") + chunk("ISFT", QByteArray("Cab Maker 2\0", 12)));
    const QByteArray note = chunk("LIST", QByteArray("INFO") + chunk("ICMT", QByteArray("close mic", 9)));
    wav.insert(wav.indexOf("data"), note);
    wav.insert(12, junk + info);
    putLe32(wav, 4, static_cast<quint32>(wav.size() - 8));
    return wav;
}

QString wordsOf(const QString& hexTaps) {
    QStringList words;
    for (qsizetype i = 0; i + 8 <= hexTaps.size(); i += 8) words << hexTaps.mid(i, 8);
    return words.join(QLatin1Char(' '));
}

QString catalogueImage(const QString& effect) {
    const auto text = resources::catalogueResource(app::TformMain::format_resource_name(effect).toStdString());
    if (!text) return {};
    const auto end = text->find_first_of("\r\n");
    return QString::fromStdString(text->substr(0, end));
}

struct Fixture {
    testing::TestEditor editor;
    QTemporaryDir files;
    app::TformMain& main() { return *editor->formMain(); }

    // Chooses the algorithm in the "Impulse Response" category as a user clicks it.
    bool select(const QString& effect) {
        editor->guard([&] { main().lstCategoryClick(kImpulseResponseCategory); });
        const auto items = main().lstEffects->findItems(effect, Qt::MatchExactly);
        if (items.isEmpty()) return false;
        main().lstEffects->setCurrentItem(items.first());
        editor->guard([&] { main().effectListItemClicked(items.first()); });
        return main().menuLoadIR->isEnabled();
    }
    // Load IR with `path` answered in the open dialog; returns the last message shown.
    QString load(const QString& path) {
        editor.dialogs->fileNames.push_back(path);
        const auto before = editor.dialogs->messages.size();
        main().menuLoadIR->trigger();
        return editor.dialogs->messages.size() > before ? editor.dialogs->messages.last() : QString();
    }
    QString path(const QString& name) const { return files.filePath(name); }
    QStringList console() { return editor->formPrint()->lines(); }
};

// The tap block of irImage for `loader`, as words separated by spaces.
QString tapBlock(const QString& image, const Loader& loader) {
    return wordsOf(image.mid(loader.firstByte * 2, loader.taps * 8));
}

QString zeroTaps(int n) {
    QStringList words;
    for (int i = 0; i < n; ++i) words << QStringLiteral("00000000");
    return words.join(QLatin1Char(' '));
}

}  // namespace

class IrLoaderTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void samplesBecomeTheTapWords_data();
    void samplesBecomeTheTapWords();
    void longResponseUsesItsFirstSamplesOnly();
    void resampledTapsAgreeWithSox_data();
    void resampledTapsAgreeWithSox();
    void pedalRateFileIsTakenAsItIsWithOrWithoutResampling();
    void resamplingSettingIsKeptInThePreferencesFolder();
    void unreadableFilesAreRefusedAndIrImageStays_data();
    void unreadableFilesAreRefusedAndIrImageStays();
    void algorithmWithoutTapBlockIsRefusedBeforeTheDialog();
    void cancellingChangesNothing();
    void mergedImageIsWhatUploadSendsToThePedal();
};

void IrLoaderTest::initTestCase() {
    if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty()) QSKIP("sox is not installed");
    QVERIFY2(!catalogueImage(kBasic).isEmpty(), "the catalogue holds no Basic IR Loader image");
}

void IrLoaderTest::samplesBecomeTheTapWords_data() {
    QTest::addColumn<QString>("effect");
    QTest::addColumn<QByteArray>("raw");          // sample bytes as sox reads them
    QTest::addColumn<QStringList>("rawFormat");   // how sox reads `raw`
    QTest::addColumn<QStringList>("outFormat");   // what sox writes
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("foreignChunks");
    QTest::addColumn<QString>("expectedWords");   // the taps made from the file, in order
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("rate");

    const QByteArray desc24 = QByteArray::fromHex("000080FFFF7F010000" "0000FF");
    const QString desc24Words = QStringLiteral("FF800000 007FFFFF 00000001 FFFF0000");
    const QStringList raw24 = {"-t", "raw", "-r", "48000", "-e", "signed-integer", "-b", "24", "-c", "1", "-L"};

    QTest::newRow("24-bit extensible WAV") << kBasic << desc24 << raw24 << QStringList{} << "ext24.wav" << false
                                           << desc24Words << 24 << 48000;
    QTest::newRow("24-bit WAV with JUNK and LIST chunks")
        << kBasic << desc24 << raw24 << QStringList{"-t", "wavpcm"} << "chunks24.wav" << true << desc24Words << 24
        << 48000;
    QTest::newRow("24-bit AIFF") << kBasic << desc24 << raw24 << QStringList{} << "ir24.aiff" << false << desc24Words
                                 << 24 << 48000;
    QTest::newRow("24-bit FLAC") << kCorvelGeometry.name << desc24 << raw24 << QStringList{} << "ir24.flac" << false
                                 << desc24Words << 24 << 48000;
    QTest::newRow("32-bit WAV") << kPexoGeometry.name << QByteArray::fromHex("7856341200000080FF000000")
                                << QStringList{"-t", "raw", "-r", "48000", "-e", "signed-integer", "-b", "32", "-c", "1",
                                               "-L"}
                                << QStringList{} << "ir32.wav" << false
                                << QStringLiteral("00123456 FF800000 00000000") << 32 << 48000;
    QTest::newRow("16-bit WAV at 44.1 kHz")
        << kBasic << QByteArray::fromHex("00800100FF7FFFFF")
        << QStringList{"-t", "raw", "-r", "44100", "-e", "signed-integer", "-b", "16", "-c", "1", "-L"}
        << QStringList{"-t", "wavpcm"} << "ir16.wav" << false << QStringLiteral("FF800000 00000100 007FFF00 FFFFFF00")
        << 16 << 44100;
    QTest::newRow("stereo 24-bit WAV, left channel only")
        << kBasic << QByteArray::fromHex("000080" "111111" "FFFF7F" "222222" "010000" "333333")
        << QStringList{"-t", "raw", "-r", "48000", "-e", "signed-integer", "-b", "24", "-c", "2", "-L"}
        << QStringList{} << "stereo.wav" << false << QStringLiteral("FF800000 007FFFFF 00000001") << 24 << 48000;

    // Float samples: 0.5, -0.25, 1.5 steps of the 24-bit word, -1.0 and +1.0 (one step too far).
    QByteArray floats;
    for (float x : {0.5F, -0.25F, 1.5F / 8388608.0F, -1.0F, 1.0F}) floats.append(reinterpret_cast<const char*>(&x), 4);
    QTest::newRow("32-bit float WAV")
        << kBasic << floats
        << QStringList{"-t", "raw", "-r", "48000", "-e", "floating-point", "-b", "32", "-c", "1", "-L"}
        << QStringList{"-e", "floating-point", "-b", "32"} << "float.wav" << false
        << QStringLiteral("00400000 FFE00000 00000002 FF800000 007FFFFF") << 32 << 48000;
}

void IrLoaderTest::samplesBecomeTheTapWords() {
    QFETCH(QString, effect);
    QFETCH(QByteArray, raw);
    QFETCH(QStringList, rawFormat);
    QFETCH(QStringList, outFormat);
    QFETCH(QString, fileName);
    QFETCH(bool, foreignChunks);
    QFETCH(QString, expectedWords);
    QFETCH(int, bits);
    QFETCH(int, rate);

    Fixture f;
    const QString rawPath = f.path(QStringLiteral("samples.raw"));
    const QString filePath = f.path(fileName);
    QVERIFY(writeAll(rawPath, raw));
    QString problem;
    QVERIFY2(runSox(rawFormat + QStringList{rawPath} + outFormat + QStringList{filePath}, &problem), qPrintable(problem));
    if (foreignChunks) {
        QVERIFY(writeAll(filePath, withForeignChunks(readAll(filePath))));
        QCOMPARE(readAll(filePath).mid(12, 4), QByteArray("JUNK"));
    }
    if (fileName == QStringLiteral("ext24.wav")) {
        QCOMPARE(readAll(filePath).mid(20, 2), QByteArray::fromHex("FEFF"));  // WAVE_FORMAT_EXTENSIBLE
    }

    QVERIFY(f.select(effect));
    // The words as stored, whatever the rate: the player turned resampling off.
    if (rate != 48000) f.main().menuResampleIR->trigger();
    const QString summary = f.load(filePath);
    QVERIFY2(f.editor.dialogs->errors.isEmpty(), qPrintable(f.editor.dialogs->errors.join('\n')));

    const Loader loader = loaderNamed(effect);
    const QString image = f.main().irImage;
    const int fromFile = static_cast<int>(expectedWords.count(QLatin1Char(' ')) + 1);
    QCOMPARE(tapBlock(image, loader), expectedWords + QLatin1Char(' ') + zeroTaps(loader.taps - fromFile));
    QCOMPARE(f.main().irImageEffectName, effect);

    // Every byte outside the tap block is the catalogue's.
    const QString catalogue = catalogueImage(effect);
    QCOMPARE(image.size(), catalogue.size());
    QCOMPARE(image.left(loader.firstByte * 2), catalogue.left(loader.firstByte * 2));
    const int resume = (loader.firstByte + 4 * loader.taps) * 2;
    QCOMPARE(image.mid(resume), catalogue.mid(resume));

    const QString size = QString::number(QFileInfo(filePath).size());
    QVERIFY2(summary.startsWith(QStringLiteral("Selected file data:\r\nName: ") + fileName + QStringLiteral("\r\nSize: ") +
                                size + QStringLiteral("\r\nSample rate: ") + QString::number(rate) +
                                QStringLiteral("\r\nBits per sample: ") + QString::number(bits)),
             qPrintable(summary));
    QCOMPARE(summary.contains(QStringLiteral("Warning")), rate != 48000);
    QVERIFY2(summary.contains(QStringLiteral("%1 zero taps").arg(loader.taps - fromFile)), qPrintable(summary));
    QCOMPARE(summary.contains(QStringLiteral("first of the file's 2 channels")), fileName == QStringLiteral("stereo.wav"));

    const QStringList log = f.console();
    // The file's name only: its folder may name the player.
    QVERIFY(log.contains(fileName));
    QVERIFY(log.filter(QFileInfo(filePath).absolutePath()).isEmpty());
    QVERIFY(log.contains(size));
    QVERIFY(log.contains(QStringLiteral("Sample_Rate: ") + QString::number(rate)));
    QVERIFY(log.contains(QStringLiteral("Num_of_channels: ") + (fileName == "stereo.wav" ? "2" : "1")));
    QVERIFY(log.contains(expectedWords.section(QLatin1Char(' '), 0, 0)));
    QVERIFY(log.contains(QStringLiteral("irdata swapped endianess: ") + image.mid(loader.firstByte * 2, loader.taps * 8)));
    QVERIFY(log.contains(image));
}

void IrLoaderTest::longResponseUsesItsFirstSamplesOnly() {
    Fixture f;
    const QString path = f.path(QStringLiteral("noise.wav"));
    QString problem;
    QVERIFY2(runSox({"-n", "-r", "48000", "-b", "24", "-c", "1", "-t", "wavpcm", path, "synth", "0.05", "whitenoise"},
                    &problem),
             qPrintable(problem));
    const QByteArray wav = readAll(path);
    QCOMPARE(wav.mid(36, 4), QByteArray("data"));
    QVERIFY(wav.size() > 44 + 3 * 912);

    // The taps, word by word as the pedal takes them: sign, then the three sample bytes high first.
    QString expected;
    for (int i = 0; i < 912; ++i) {
        const auto b0 = static_cast<quint8>(wav[44 + 3 * i]);
        const auto b1 = static_cast<quint8>(wav[45 + 3 * i]);
        const auto b2 = static_cast<quint8>(wav[46 + 3 * i]);
        const std::vector<std::uint8_t> word = {static_cast<std::uint8_t>(b2 < 0x80 ? 0x00 : 0xFF), b2, b1, b0};
        expected += QString::fromStdString(core::toHex(word));
    }

    QVERIFY(f.select(kBasic));
    const QString summary = f.load(path);
    QCOMPARE(f.main().irImage.mid(460, 912 * 8), expected);
    QVERIFY2(!summary.contains(QStringLiteral("zero taps")), qPrintable(summary));
    QVERIFY2(!summary.contains(QStringLiteral("Warning")), qPrintable(summary));
}

// The tap words of a tap block as 24-bit values.
std::vector<double> tapValues(const QString& block) {
    std::vector<double> values;
    for (const QString& word : block.split(QLatin1Char(' '))) values.push_back(static_cast<qint32>(word.toUInt(nullptr, 16)));
    return values;
}

void IrLoaderTest::resampledTapsAgreeWithSox_data() {
    QTest::addColumn<int>("rate");
    QTest::newRow("44.1 kHz") << 44100;
    QTest::newRow("88.2 kHz") << 88200;
    QTest::newRow("96 kHz") << 96000;
}

void IrLoaderTest::resampledTapsAgreeWithSox() {
    QFETCH(int, rate);
    Fixture f;
    // A cabinet-like response: a decaying burst of band-limited noise, 100 ms long.
    const QString file = f.path(QStringLiteral("cab.wav"));
    const QString bySox = f.path(QStringLiteral("cab-48k.wav"));
    QString problem;
    QVERIFY2(runSox({"-R", "-n", "-r", QString::number(rate), "-b", "24", "-c", "1", file, "synth", "0.1", "whitenoise",
                     "lowpass", "6000", "fade", "h", "0", "0.1", "0.095", "vol", "0.5"},
                    &problem),
             qPrintable(problem));
    QVERIFY2(runSox({file, "-r", "48000", bySox}, &problem), qPrintable(problem));

    QVERIFY(f.select(kBasic));
    const QString summary = f.load(file);
    QVERIFY2(summary.contains(QStringLiteral("resampled from %1 Hz to 48000 Hz").arg(rate)), qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral("kept 912 of 4800 samples (19.0 ms of 100.0 ms), ")), qPrintable(summary));
    QVERIFY2(!summary.contains(QStringLiteral("Warning")), qPrintable(summary));
    const std::vector<double> ours = tapValues(tapBlock(f.main().irImage, kBasicGeometry));
    const QString soxSummary = f.load(bySox);
    QVERIFY2(!soxSummary.contains(QStringLiteral("resampled")), qPrintable(soxSummary));
    const std::vector<double> theirs = tapValues(tapBlock(f.main().irImage, kBasicGeometry));

    // Two different filters: they agree to within -60 dB of the response's peak, not exactly.
    QCOMPARE(ours.size(), theirs.size());
    double peak = 0;
    double worst = 0;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        peak = std::max(peak, std::abs(theirs[i]));
        worst = std::max(worst, std::abs(ours[i] - theirs[i]));
    }
    QVERIFY(peak > 1e5);
    const double db = 20 * std::log10(worst / peak);
    QVERIFY2(db < -60, qPrintable(QStringLiteral("taps differ by %1 dB of the peak").arg(db)));
}

void IrLoaderTest::pedalRateFileIsTakenAsItIsWithOrWithoutResampling() {
    Fixture f;
    const QString path = f.path(QStringLiteral("noise48.wav"));
    QString problem;
    QVERIFY2(runSox({"-n", "-r", "48000", "-b", "24", "-c", "2", path, "synth", "0.1", "whitenoise"}, &problem),
             qPrintable(problem));
    QVERIFY(f.select(kBasic));
    QVERIFY(f.main().menuResampleIR->isChecked());
    const QString summary = f.load(path);
    const QString withResampling = f.main().irImage;
    QVERIFY2(summary.contains(QStringLiteral("kept 912 of 4800 samples (19.0 ms of 100.0 ms), ")), qPrintable(summary));
    QVERIFY2(!summary.contains(QStringLiteral("resampled")), qPrintable(summary));

    f.main().menuResampleIR->trigger();
    QVERIFY(!f.main().menuResampleIR->isChecked());
    f.load(path);
    QCOMPARE(f.main().irImage, withResampling);
}

void IrLoaderTest::resamplingSettingIsKeptInThePreferencesFolder() {
    Fixture f;
    const QString file = f.editor->formMain()->productFolder() + QStringLiteral("/ResampleIR.txt");
    f.main().menuResampleIR->trigger();
    QCOMPARE(readAll(file), QByteArray("NO"));
    f.main().menuResampleIR->trigger();
    QCOMPARE(readAll(file), QByteArray("YES"));

    // The next start reads it back; anything but NO leaves resampling on.
    QVERIFY(writeAll(file, "NO"));
    f.main().readImpulseResponsePreferences();
    QVERIFY(!f.main().menuResampleIR->isChecked());
    QVERIFY(!f.editor->state.irShaping.resample);
}

void IrLoaderTest::unreadableFilesAreRefusedAndIrImageStays_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reasonPart");
    QTest::newRow("text named .wav") << "text" << "not an audio file";
    QTest::newRow("RIFF header cut short") << "cut" << "not an audio file";
    QTest::newRow("missing file") << "missing" << "could not be opened";
    QTest::newRow("8-bit samples") << "8bit" << "8 bit";
    QTest::newRow("no samples") << "empty" << "no samples";
}

void IrLoaderTest::unreadableFilesAreRefusedAndIrImageStays() {
    QFETCH(QString, kind);
    QFETCH(QString, reasonPart);
    Fixture f;
    QString problem;
    const QString good = f.path(QStringLiteral("good.wav"));
    QVERIFY2(runSox({"-n", "-r", "48000", "-b", "24", "-c", "1", good, "synth", "0.01", "sine", "440"}, &problem),
             qPrintable(problem));
    QVERIFY(f.select(kBasic));
    f.load(good);
    const QString merged = f.main().irImage;
    QVERIFY(!merged.isEmpty());

    const QString bad = f.path(QStringLiteral("bad.wav"));
    if (kind == "text") {
        QVERIFY(writeAll(bad, "This is a list of cabinets, not a recording.\n"));
    } else if (kind == "cut") {
        QVERIFY(writeAll(bad, readAll(good).left(30)));
    } else if (kind == "8bit") {
        QVERIFY2(runSox({"-n", "-r", "48000", "-b", "8", "-e", "unsigned", "-c", "1", bad, "synth", "0.01", "sine",
                         "440"},
                        &problem),
                 qPrintable(problem));
    } else if (kind == "empty") {
        QVERIFY2(runSox({"-n", "-r", "48000", "-b", "24", "-c", "1", bad, "trim", "0", "0"}, &problem),
                 qPrintable(problem));
    }

    const QString message = f.load(bad);
    QVERIFY2(message.contains(QStringLiteral("bad.wav")) && message.contains(reasonPart, Qt::CaseInsensitive),
             qPrintable(message));
    QVERIFY(!message.startsWith(QStringLiteral("Selected file data:")));
    QCOMPARE(f.main().irImage, merged);
    QCOMPARE(f.main().irImageEffectName, kBasic);
    QVERIFY(f.editor.dialogs->errors.isEmpty());
}

void IrLoaderTest::algorithmWithoutTapBlockIsRefusedBeforeTheDialog() {
    Fixture f;
    const QString other = QStringLiteral("Room IR Blend");
    QVERIFY(f.select(other));
    const QString message = f.load(f.path(QStringLiteral("never-opened.wav")));
    QVERIFY2(message.contains(other), qPrintable(message));
    QCOMPARE(f.editor.dialogs->fileNames.size(), size_t{1});  // the dialog was not shown
    QVERIFY(f.main().irImage.isEmpty());
    QVERIFY(f.main().irImageEffectName.isEmpty());
}

void IrLoaderTest::cancellingChangesNothing() {
    Fixture f;
    QVERIFY(f.select(kBasic));
    const auto messages = f.editor.dialogs->messages.size();
    f.main().menuLoadIR->trigger();  // no file name queued: the dialog is cancelled
    QCOMPARE(f.editor.dialogs->messages.size(), messages);
    QVERIFY(f.main().irImage.isEmpty());
}

void IrLoaderTest::mergedImageIsWhatUploadSendsToThePedal() {
    Fixture f;
    const QString path = f.path(QStringLiteral("cab.wav"));
    QString problem;
    QVERIFY2(runSox({"-n", "-r", "48000", "-b", "24", "-c", "2", path, "synth", "0.03", "pluck", "220", "fade", "0",
                     "0.03", "0.02"},
                    &problem),
             qPrintable(problem));

    f.main().menuConnect->trigger();
    QVERIFY(f.main().btnUpload->isEnabled());
    QVERIFY(f.select(kBasic));
    f.load(path);
    const QString merged = f.main().irImage;
    QVERIFY(!merged.isEmpty());
    QVERIFY(tapBlock(merged, kBasicGeometry) != zeroTaps(912));

    pedal_sim::PedalModel* pedal = f.editor->virtualPedal();
    QVERIFY(pedal);
    const unsigned before = pedal->uploadsTaken();
    f.main().btnUpload->click();
    QVERIFY2(f.editor.dialogs->errors.isEmpty(), qPrintable(f.editor.dialogs->errors.join('\n')));
    QCOMPARE(pedal->uploadsTaken(), before + 1);
    QVERIFY(pedal->algorithm().has_value());
    QCOMPARE(QString::fromStdString(core::toHex(pedal->algorithm()->bytes)), merged);
}

QTEST_MAIN(IrLoaderTest)
#include "test_ir_loader.moc"
