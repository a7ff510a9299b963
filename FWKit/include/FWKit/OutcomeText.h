#pragma once

#include <QString>

namespace FWKit::detail {

// The payload of an outcome: kept exactly as given, and equal to another when the two are
// canonically equivalent in Unicode, so the outcomes can default their equality.
struct OutcomeText
{
    QString value;

    friend bool operator==(const OutcomeText &a, const OutcomeText &b)
    {
        return a.value == b.value ||
            a.value.normalized(QString::NormalizationForm_C) ==
            b.value.normalized(QString::NormalizationForm_C);
    }
};

} // namespace FWKit::detail
