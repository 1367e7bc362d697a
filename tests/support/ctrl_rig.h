// Controller core rig: the six records of one controller, filled with the defaults of a
// `CONTR` block (continuous output, inverse action, range 0..100, gradients off), and the
// calls that start and run it.
#pragma once

#include "blocks/ctrl/ctrl_core.h"
#include "runtime/fw_numeric.h"

struct CtrlRig {
  CtrlInputs in;
  CtrlOutputs out;
  CtrlParams p;
  CtrlConfig cfg;
  CtrlWork w;
  CtrlRetained r;
  CtrlConfigFields f;  // packed into `cfg` by init()

  CtrlRig() {
    p.a = 1;
    p.w100 = 100;
    p.w2 = 100;
    p.grwUp = p.grwDown = p.grw2 = FW_NO_VALUE;
    p.xsh = 0.2f;
    p.tpuls = 0.3f;
    p.tm = 30;
    p.xsd1 = 1;
    p.lw = FW_NO_VALUE;
    p.xsd2 = 1;
    p.ymax = 100;
    p.dYopt = 100;
    for (CtrlParamSet& s : p.sets) s = CtrlParamSet{.xp1 = 100, .xp2 = 100, .tn = 10, .tv = 10,
                                                    .tp1 = 5, .tp2 = 5};
    cfg.xn100 = 100;
    in.gradientOn = 1;
    w.dt = 0.1f;
  }

  void init() {
    CTRL_PackConfig(f, cfg);
    CTRL_Init(in, out, p, cfg, w, r);
  }
  void cycle(int n = 1) {
    for (int i = 0; i < n; ++i) CTRL_Cycle(in, out, p, cfg, w, r);
  }
};
