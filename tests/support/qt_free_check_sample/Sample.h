// A planted Qt include that the Qt-free check must report.
#pragma once
#include <QString>
