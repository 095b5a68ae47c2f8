#ifndef STATIONSCOPE_SCLINSTANCECHECK_H
#define STATIONSCOPE_SCLINSTANCECHECK_H

// Checks the logical nodes of one IED against the templates: lnType, the
// DOI/SDI/DAI names, enumeration values and the control settings of every
// controllable data object. Also resolves names through the templates for
// the control block check.

#include "sclfinding.h"
#include "sclieddata.h"
#include "scltemplates.h"

// Where a path of names through the templates ends.
struct SclResolved
{
    const SclTemplate *type = nullptr;      // the DOType or DAType reached, if any
    const SclTemplateChild *last = nullptr; // the last child named
    QString missing;                        // the first name the types do not have
    bool ok() const { return missing.isNull(); }
};

class SclTypeResolver
{
public:
    explicit SclTypeResolver(const SclTemplates &templates) : templates(templates) {}

    // Follows names from an LNodeType through DO/SDO/DA/BDA. Array indexes
    // "name(3)" are ignored.
    SclResolved resolve(const SclTemplate *lnodeType, const QStringList &names) const;
    // The template a child leads to: its DOType or, for a Struct, its DAType.
    const SclTemplate *typeOf(const SclTemplateChild &child) const;
    // Whether the type holds a data attribute of the constraint, at any depth
    // of sub data objects.
    bool hasConstraint(const SclTemplate *doType, const QString &fc, int depth = 0) const;
    // Estimated MMS encoding of the attributes of the constraint under the
    // child (a DO, or a DA when fc is empty), in octets.
    int encodedSize(const SclTemplateChild &child, const QString &fc, int depth = 0) const;

private:
    const SclTemplates &templates;
};

class SclInstanceCheck
{
public:
    SclInstanceCheck(const SclTemplates &templates, SclFindings &findings)
        : templates(templates), resolver(templates), findings(findings)
    {
    }

    void check(const SclIed &ied);

private:
    void checkInstances(const SclIed &ied, const SclLogicalNode &ln, const SclTemplate *type);
    void checkControls(const SclIed &ied, const SclLogicalNode &ln, const SclTemplate *type);
    void add(SclSeverity severity, const SclIed &ied, const QString &reference, qint64 line,
             const QString &text);

    const SclTemplates &templates;
    SclTypeResolver resolver;
    SclFindings &findings;
};

#endif
