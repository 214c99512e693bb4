// The AAN 1-D transform over 16-bit lanes, shared by the reference and every packed
// implementation. Ops supplies V (a lane or a packed group of lanes) and wrapping add and sub,
// and mul(v, c): shift v left by 2 (wrapping), multiply by c as signed 16-bit, keep the high
// 16 bits of the product.
#pragma once

template <class Ops> inline void jpegAanPass(typename Ops::V d[8]) {
    using V = typename Ops::V;
    // Even part.
    V s13 = Ops::add(d[2], d[6]);
    V s12 = Ops::sub(Ops::mul(Ops::sub(d[2], d[6]), 23170), s13);
    V s10 = Ops::add(d[0], d[4]);
    V s11 = Ops::sub(d[0], d[4]);
    V t0 = Ops::add(s10, s13);
    V t3 = Ops::sub(s10, s13);
    V t1 = Ops::add(s11, s12);
    V t2 = Ops::sub(s11, s12);
    // Odd part.
    V z13 = Ops::add(d[5], d[3]);
    V z10 = Ops::sub(d[5], d[3]);
    V z11 = Ops::add(d[1], d[7]);
    V z12 = Ops::sub(d[1], d[7]);
    V t7 = Ops::add(z11, z13);
    V t11 = Ops::mul(Ops::sub(z11, z13), 23170);
    V t10 = Ops::add(Ops::mul(z10, -30353), Ops::mul(z12, -12540));
    V t12 = Ops::add(Ops::mul(z10, -12540), Ops::mul(z12, 30273));
    V t6 = Ops::sub(t12, t7);
    V t5 = Ops::sub(t11, t6);
    V t4 = Ops::add(t10, t5);
    d[0] = Ops::add(t0, t7);
    d[7] = Ops::sub(t0, t7);
    d[1] = Ops::add(t1, t6);
    d[6] = Ops::sub(t1, t6);
    d[2] = Ops::add(t2, t5);
    d[5] = Ops::sub(t2, t5);
    d[4] = Ops::add(t3, t4);
    d[3] = Ops::sub(t3, t4);
}
