#include "ui/background_work.h"

#include <QEventLoop>
#include <QMetaObject>

#include <exception>
#include <thread>

namespace tallowin {

void RunWhileHandlingEvents(const std::function<void()>& work) {
  QEventLoop loop;
  std::exception_ptr error;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      error = std::current_exception();
    }
    // Delivered by the loop below (also when the work ends before the loop
    // starts); dropped when the loop is gone already.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  // Ends with the work, or earlier when the program quits (which ends every
  // loop); the work is waited for either way, as it uses the caller's objects.
  loop.exec();
  worker.join();
  if (error) std::rethrow_exception(error);
}

}  // namespace tallowin
