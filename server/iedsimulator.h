#ifndef STATIONSCOPE_IEDSIMULATOR_H
#define STATIONSCOPE_IEDSIMULATOR_H

// Makes a served model behave like a live IED: every step, each measured
// value (the first floating-point attribute of a data object under MX, such
// as mag.f) wanders around where it started, and now and then a status value
// (a boolean stVal, or a double point position) toggles; their q and t are
// written with them, so report control blocks see data changes as from a
// device; a measured value turns questionable for a step now and then, for
// quality changes. Runs on the thread it lives on; the model may be served
// elsewhere.

#include "mmsservermodel.h"

#include <QObject>
#include <QRandomGenerator>
#include <QTimer>
#include <QVector>

#include <memory>

class IedSimulator : public QObject
{
    Q_OBJECT

public:
    explicit IedSimulator(std::shared_ptr<const MmsServerModel> model, QObject *parent = nullptr);

    void setSeed(quint32 seed) { random.seed(seed); }
    // A step every periodMs until stop().
    void start(int periodMs = 1000);
    void stop() { timer.stop(); }
    bool isRunning() const { return timer.isActive(); }

    // One step: measured values move, about one status value in ten toggles.
    void step();
    int measuredCount() const { return measured.size(); }
    int statusCount() const { return status.size(); }

private:
    struct Point
    {
        QString domain;
        QString dataObject; // "GGIO1$MX$AnIn1"
        QString attribute;  // "mag$f", "stVal"
        MmsValue value;
        double centre = 0;
        bool doublePrecision = false;
        bool questionable = false; // for one step, now and then
        bool hasQuality = false;
        bool hasTime = false;
    };

    void collect(const QString &domain, const QString &item, const MmsTypeSpec &type);
    void addStamps(const Point &point, quint64 now, QVector<MmsValueUpdate> *updates) const;
    static MmsValue qualityOf(bool questionable);

    std::shared_ptr<const MmsServerModel> model;
    QVector<Point> measured;
    QVector<Point> status;
    QRandomGenerator random;
    QTimer timer;
};

#endif
