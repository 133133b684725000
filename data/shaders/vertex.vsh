// The vertex shader of the material: each point is a row vector carried from
// model to world, world to view and view to screen (p' = p x M each time),
// and the vertex color goes on unchanged.
//
// The matrices are stored column by column, so register cN+k holds column k
// of a matrix and "dp4 r.k, p, cN+k" is component k of p x M.
//
// @constant g_transform_modelToWorld c0 matrix_columns float4x4
// @constant g_transform_worldToView  c4 matrix_columns float4x4
// @constant g_transform_viewToScreen c8 matrix_columns float4x4
vs_2_0
dcl_position v0
dcl_color v1

// Model to world. The position comes in with three floats; w reads as 1.
dp4 r0.x, v0, c0
dp4 r0.y, v0, c1
dp4 r0.z, v0, c2
dp4 r0.w, v0, c3

// World to view.
dp4 r1.x, r0, c4
dp4 r1.y, r0, c5
dp4 r1.z, r0, c6
dp4 r1.w, r0, c7

// View to screen.
dp4 oPos.x, r1, c8
dp4 oPos.y, r1, c9
dp4 oPos.z, r1, c10
dp4 oPos.w, r1, c11

mov oD0, v1
