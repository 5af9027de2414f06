#include "platform/db/NullBlankFields.h"

#include "platform/db/DataSet.h"
#include "platform/db/FieldTypes.h"

void NullBlankFields(TDataSet& dataSet) {
    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        TField& f = dataSet.Fields(i);
        const TFieldClass c = f.FieldClass();
        if (f.FieldKind != TFieldKind::Data || (c != TFieldClass::Text && c != TFieldClass::Memo) ||
            f.IsNull()) {
            continue;
        }
        const QString text = f.AsString();
        bool blank = true;
        for (const QChar ch : text) {
            // Blanks and control characters: everything up to and including the space.
            if (ch.unicode() > 0x20) {
                blank = false;
                break;
            }
        }
        if (blank) {
            f.Clear();
        }
    }
}
