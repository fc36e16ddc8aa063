// An error that escapes start-up or an event handler: shown in a box with its
// text, and the process ends with status 1.
#include <QTimer>
#include <QtTest>
#include <stdexcept>

#include "app/guarded_application.h"
#include "scripted_prompts.h"

using namespace orvald;
using namespace orvald::testing;

namespace {
ScriptedPrompts* prompts = nullptr;
}

class EscapedErrorsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { prompts->boxes.clear(); }

  void errorDuringStartUpIsShownAndEndsWithOne() {
    const int status = RunGuarded(*prompts, []() -> int { throw std::runtime_error("Cannot build the window"); });
    QCOMPARE(status, 1);
    QCOMPARE(int(prompts->boxes.size()), 1);
    QCOMPARE(prompts->boxes[0].text, std::string("Cannot build the window"));
    QVERIFY(prompts->boxes[0].icon == PromptIcon::kError);
    QVERIFY(prompts->boxes[0].buttons == PromptButtons::kOk);
  }

  void cleanRunEndsWithZero() {
    QCOMPARE(RunGuarded(*prompts, [] { return 0; }), 0);
    QVERIFY(prompts->boxes.empty());
  }

  // Last: the application reports once per run.
  void errorInAnEventHandlerEndsTheLoopWithOne() {
    bool handlerAfterwards = false;
    QTimer::singleShot(0, [] { throw std::runtime_error("Handler failed"); });
    QTimer::singleShot(200, [&] { handlerAfterwards = true; });
    const int status = RunGuarded(*prompts, [] { return QCoreApplication::exec(); });
    QCOMPARE(status, 1);
    QCOMPARE(int(prompts->boxes.size()), 1);
    QCOMPARE(prompts->boxes[0].text, std::string("Handler failed"));
    QVERIFY(!handlerAfterwards);  // the loop ended at once, nothing ran on
  }
};

int main(int argc, char** argv) {
  ScriptedPrompts scripted;
  prompts = &scripted;
  GuardedApplication app(argc, argv, scripted);
  EscapedErrorsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_escaped_errors.moc"
