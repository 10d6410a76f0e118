#pragma once

#include <QJsonObject>

#include <functional>

// Where the servers report what they do: one JSON object per happening,
// {"sim": what, ...details}. The program prints them as lines; tests keep
// them.
using SimLog = std::function<void(const QJsonObject &entry)>;
