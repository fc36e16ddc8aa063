// orvald: start-up in the order the scoring desk relies on. The serial
// channel exists before any window; then the main window (settings, data
// folder, working directory, detection timer), the About box, and the two
// table dialogs; then the event loop until the main window closes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/about_box.h"
#include "app/guarded_application.h"
#include "app/main_window.h"
#include "app/qt_prompts.h"
#include "link/exchange_log.h"
#include "link/link.h"
#include "app/table_dialogs.h"
#include "app/table_queries.h"
#include "program/conventions.h"

int main(int argc, char** argv) {
  // Answered before Qt starts, so that they work without a display.
  const char* usage =
      "Usage: orvald [--help | --version]\n"
      "The scoring desk's window program: downloads loggers and saves the flights of a task.\n";
  if (auto answered = orvald::program::AnswerHelpOrVersion("orvald", {argv + 1, argv + argc}, usage)) return *answered;
  // ORVALD_TRANSCRIPT=FILE keeps a hex log of every exchange, so that a failed
  // download can be looked into afterwards. Declared first: it outlives the link.
  orvald::ExchangeLog exchangeLog;
  orvald::Link link;  // the process-wide serial channel, first of all
  if (const char* path = std::getenv(orvald::kExchangeLogVariable); path != nullptr && *path != '\0') {
    std::string error;
    if (exchangeLog.Open(path, error)) {
      exchangeLog.onWriteFailure = [](const std::string& failure) { std::fprintf(stderr, "orvald: %s\n", failure.c_str()); };
      exchangeLog.Attach(link);
    } else {
      std::fprintf(stderr, "orvald: %s\n", error.c_str());
    }
  }
  orvald::QtPrompts prompts;
  orvald::GuardedApplication app(argc, argv, prompts);
  app.setApplicationName("orvald");
  app.setOrganizationName("orvald");

  return orvald::RunGuarded(prompts, [&] {
    // The two tables live for the whole run; they are read once the main
    // window has made the data folder the working directory.
    orvald::LoggersTable loggersTable;
    orvald::TasksTable tasksTable;
    orvald::LoggersTableLookup loggers(loggersTable);

    orvald::AppEnvironment env;
    env.prompts = &prompts;
    env.link = &link;
    env.lookup = &loggers;
    orvald::TfrmMain frmMain(env);
    prompts.SetParentWindow(&frmMain);

    orvald::TAboutBox AboutBox(&frmMain);
    frmMain.SetAboutBox(&AboutBox);

    // Then the loggers dialog and the task windows dialog, hidden, in that
    // order: they read the two files (a missing one is reported before the
    // main window shows) and the second fills the task list.
    orvald::CreateTableDialogs(frmMain, loggersTable, tasksTable, prompts);

    frmMain.show();
    return app.exec();
  });
}
