#pragma once

#include <atomic>
#include <memory>
#include <vector>

class ISubject;

// Something that wants to hear when a subject changed.
class Observer
{
public:
    virtual ~Observer() = default;
    virtual void Update(ISubject* subject) = 0;
};

// A thing observers can watch. Observers are not owned; the list exists only
// once the first observer is attached. NotifyObservers runs on the editor's
// thread at every repaint tick; changed may be set from another thread.
class ISubject
{
public:
    virtual ~ISubject() = default;

    void Attach(Observer* observer);
    void Detach(Observer* observer);

    // When changed is set: clears it and calls every observer in list order.
    void NotifyObservers();

    std::atomic<bool> changed{false};

private:
    std::unique_ptr<std::vector<Observer*>> observers;
};
