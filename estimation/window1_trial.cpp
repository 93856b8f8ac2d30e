// Window1's response keys: one key press, one trial, then the half-second wait.
#include "estimation/window1.h"

#include "app/resources.h"
#include "estimation/core/keys.h"
#include "framework/core/background.h"
#include "framework/core/clock.h"
#include "framework/core/text.h"

#include <cmath>

bool Window1::Event_KeyDown(const QString& key)
{
    return respondToKey(key);
}

bool Window1::Canvas1_KeyDown(fw::Canvas*, const QString& key)
{
    return respondToKey(key);
}

bool Window1::respondToKey(const QString& key)
{
    const auto response = estimation::classifyKey(key, successkey, failkey, successall, failall);
    // A run holds 200 trials after Start or Reset; further keys are ignored
    // until the next Start or Reset, so nothing is written past the logs.
    if (response != estimation::KeyResponse::Ignored && stepnum >= 0 && !trialsFull())
        runTrial(response == estimation::KeyResponse::Success ? 1 : 0);
    delay(30.0);
    return true;
}

void Window1::runTrial(std::int32_t response)
{
    // A click that failed to load is skipped; the trial goes on.
    if (const auto click = Click()) {
        click->setVolume(Slider3()->Value());
        click->Play();
    }

    double v = 0.0;
    bool reached = false;
    if (!CheckBox1()->Value()) {
        v = runpest(response);
        if (v > 100.0)
            v = 100.0;
        if (v < 1.0)
            v = 1.0;
        lastsetting = mysetting;
        mysetting = v;
        thediff = std::abs(v - lastsetting);
        if (thediff < mydiff) {
            reached = true;
        } else {
            StaticText4()->setTextColor(fw::RGB(0, 0, 0));
            StaticText5()->setText(QStringLiteral("Next Output to Try :"));
            for (fw::StaticText* value : {StaticText7(), StaticText8(), StaticText9()})
                value->setText(QStringLiteral("00"));
        }
    } else {
        // The stopping rule looks at the last two proposals, before this
        // response counts; a reached estimate does not record the response.
        thediff = std::abs(curstim - laststim);
        reached = !(thediff > mydiff2);
        stepnum = stepnum + 1;
        if (!reached)
            insertstimulus(fw::CInt32(curstim), response);
        laststim = curstim;
        lastsetting = curstim;
        v = finalThreshold(static_cast<double>(myspread));
        curstim = v;
        mysetting = v;
    }
    if (reached)
        estimateReached();

    updatescreen(v, response);
    makepicture(v, stepnum, thediff);
    clippedThresh = fw::CInt32(fw::Round(v));
    Timer1()->setMode(2);
}

void Window1::estimateReached()
{
    StaticText4()->setTextColor(fw::RGB(0, 255, 0));
    StaticText5()->setText(QStringLiteral("rMT Estimate Reached :"));
    if (const auto signal = ding2()) {
        signal->setVolume(Slider2()->Value());
        signal->Play();
    }
    myrmt = mysetting;
    updateguides();
    endtime = fw::Microseconds();
    totaltime = (endtime - starttime) / 1000000.0;
}

void Window1::delay(double ticks)
{
    // Polls the tick clock, yielding on every pass; returns on the first
    // reading past start + ticks.
    const double start = static_cast<double>(fw::Ticks());
    double now = 0.0;
    while (now <= start + ticks) {
        now = static_cast<double>(fw::Ticks());
        fw::RuntimeBackgroundTask();
    }
}
