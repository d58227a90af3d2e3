#include "graphics/ISubject.h"

#include <algorithm>

void ISubject::Attach(Observer* observer)
{
    if (!observer)
    {
        return;
    }
    if (!observers)
    {
        observers = std::make_unique<std::vector<Observer*>>();
    }
    observers->push_back(observer);
}

void ISubject::Detach(Observer* observer)
{
    if (observers)
    {
        observers->erase(std::remove(observers->begin(), observers->end(), observer),
                         observers->end());
    }
}

void ISubject::NotifyObservers()
{
    if (!observers || !changed.exchange(false))
    {
        return;
    }
    for (Observer* observer : *observers)
    {
        observer->Update(this);
    }
}
