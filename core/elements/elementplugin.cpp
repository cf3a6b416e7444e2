#include "core/elements/elementplugin.h"

#include "core/pulse.h"
#include "interface/error.h"
#include "stringstream.h"

ElementPlugin_::ElementPlugin_(Setup_* Parent, ElementNodeLink_* Source, pluginData d)
    : CavityElement_(Parent, Source),
      single(d.callSingle),
      multiple(d.callMultiple),
      pulses(d.pulses),
      Name(d.Name) {
    log(StringStream_() << "  Setting pulses to :" << pulses, debugB);
    psetdParameters = d.parameters > 0 ? d.parameters : 0;
    log(StringStream_() << "  Setting psetdParameters to :" << psetdParameters, debugB);
    psetd = std::make_unique<double[]>(static_cast<size_t>(psetdParameters));
    makeTable(psetdParameters);
    log(StringStream_() << "  Setting parameters to :" << getParameters(), debugB);
    bool unnamed = false;
    for (int32_t i = 0; i < psetdParameters; ++i) {
        const char* name = d.getParameterName ? d.getParameterName(static_cast<uint32_t>(i)) : nullptr;
        unnamed = unnamed || !name;
        setEntry(i, &psetd[i], name ? name : "", "");
    }
    if (unnamed)
        report(QStringLiteral("The plug-in \"%1\" does not name all of its %2 parameters; the unnamed ones "
                              "cannot be set.")
                   .arg(Name)
                   .arg(psetdParameters));
    takeId(id);
}

void ElementPlugin_::call(Pulse_* pulse) {
    if (skipPass()) return;
    if (!single) {
        if (!missingSingleReported) {
            missingSingleReported = true;
            report(QStringLiteral("The plug-in \"%1\" has no function callSingle; it leaves every pulse "
                                  "unchanged.")
                       .arg(Name));
        }
        return;
    }
    cPulse_ cP = pulse->toCPulse();
    single(&cP, psetd.get());
    pulse->fromcPulse(cP);
}

void ElementPlugin_::call(Pulse_**, int) { static_cast<void>(skipPass()); }

void ElementPlugin_::report(const QString& message) {
    logError(message.toStdString(), normal);
    Error_::reportStatic(message, Error_::error);
}
