// Ownership of ODE objects: every world, joint group, body and joint the
// simulation creates is held by one of these handles and destroyed with it.
#pragma once

#include <memory>

#include <ode/ode.h>

namespace zv::sim {

// Initialises the ODE library once for the process (safe to call often).
void ensure_ode();

struct WorldDeleter {
    void operator()(dxWorld* w) const { dWorldDestroy(w); }
};
struct JointGroupDeleter {
    void operator()(dxJointGroup* g) const { dJointGroupDestroy(g); }
};
struct BodyDeleter {
    void operator()(dxBody* b) const { dBodyDestroy(b); }
};
struct JointDeleter {
    void operator()(dxJoint* j) const { dJointDestroy(j); }
};

using WorldHandle = std::unique_ptr<dxWorld, WorldDeleter>;
using JointGroupHandle = std::unique_ptr<dxJointGroup, JointGroupDeleter>;
using BodyHandle = std::unique_ptr<dxBody, BodyDeleter>;
using JointHandle = std::unique_ptr<dxJoint, JointDeleter>;

}  // namespace zv::sim
