// PIDMA extension rig: the six core records of one controller with its extension record
// (in one object, as in a PIDMA instance), filled with the defaults of a `PIDMA` block, and
// an optional simulated process that answers the output Y with the process value X 1.
#pragma once

#include <cmath>

#include "blocks/ctrl/ctrl_ext.h"
#include "blocks/ctrl/ctrl_plant.h"
#include "support/ctrl_rig.h"

struct CtrlExtRig : CtrlRig {
  CtrlExtension ext;
  // The process: a two-lag model of Y (percent) in the unit of X, with a constant offset
  // and an alternating noise of +-noise.
  bool plantOn = false;
  CtrlPlantModelRecord plant{};
  float plantOffset = 0, noise = 0;
  int cycles = 0;

  CtrlExtRig() {
    // PIDMA's template: Tpause, Xlimit, Tdrift, Tnoise, dYopt, Xsh1/Xsh2 from thron/throff.
    p.xsh = 0;
    p.yOptm = 0.1f;
    p.xsd1 = 10;
    p.lw = 30;
    p.xsd2 = 30;
    p.dYopt = 20;
    p.xsh1 = p.xsh2 = 0.2f;
    setPid(1, 40, 10);
    f.kind = CTRL_KIND_CONTINUOUS;
    r.wi = 50;
  }
  // Kp, Tn, Tv of the extension's set (Tp1, Tp2 5, VD 4, bW_p 1, cW_d 0, Tsat 10, Xsh 0).
  void setPid(float kp, float tn, float tv) {
    CtrlParamSet& s = p.sets[0];
    s = CtrlParamSet{};
    CTRL_ExtKp(s) = kp;
    CTRL_ExtTn(s) = tn;
    CTRL_ExtTv(s) = tv;
    CTRL_ExtTp1(s) = CTRL_ExtTp2(s) = 5;
    CTRL_ExtVd(s) = 4;
    CTRL_ExtBw(s) = 1;
    CTRL_ExtTsat(s) = 10;
  }
  void withPlant(float k, float tu, float tg, float offset = 0) {
    CtrlPlantCall call{.u = 0, .y = 0, .dt = w.dt, .k = k, .tu = tu, .tg = tg, .initialise = 1,
                       .model = &plant};
    CTRL_PlantModel(&call);
    plantOn = true;
    plantOffset = offset;
  }
  void init() {
    CTRL_SetExtension(w, &ext);
    CtrlRig::init();
  }
  // n cycles; with the process the core first reads its answer to the last Y.
  void cycle(int n = 1) {
    for (int i = 0; i < n; ++i) {
      if (plantOn) {
        CtrlPlantCall call{.u = out.y, .y = 0, .dt = w.dt, .k = 0, .tu = 0, .tg = 0,
                           .initialise = 0, .model = &plant};
        CTRL_PlantModel(&call);
        in.x1 = call.y + plantOffset + ((cycles & 1) ? noise : -noise);
      }
      ++cycles;
      CtrlRig::cycle();
    }
  }
  // Runs until `done` holds or n cycles have passed; true when it held.
  template <typename Done>
  bool cycleUntil(Done done, int n) {
    for (int i = 0; i < n; ++i) {
      cycle();
      if (done()) return true;
    }
    return false;
  }
};
