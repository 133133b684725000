// The worked example of the modding guide: the vertex shader of a scene that
// darkens with distance. As the game's own vertex shader, it carries each
// point from model to world, world to view and view to screen; it also
// passes on, in oT0.x, a brightness that falls with the point's distance in
// front of the camera (its view-space z): 1 up to 7.5 units, then down by
// 1/15 a unit, never below 0.25.
//
// The frame sets the three transforms; its own fixed numbers come from def,
// since the program never restores a vertex shader's declared defaults.
//
// @constant g_transform_modelToWorld c0 matrix_columns float4x4
// @constant g_transform_worldToView  c4 matrix_columns float4x4
// @constant g_transform_viewToScreen c8 matrix_columns float4x4
vs_2_0
def c12, -0.0666667, 1.5, 0.25, 1.0
dcl_position v0
dcl_color v1

dp4 r0.x, v0, c0
dp4 r0.y, v0, c1
dp4 r0.z, v0, c2
dp4 r0.w, v0, c3

dp4 r1.x, r0, c4
dp4 r1.y, r0, c5
dp4 r1.z, r0, c6
dp4 r1.w, r0, c7

dp4 oPos.x, r1, c8
dp4 oPos.y, r1, c9
dp4 oPos.z, r1, c10
dp4 oPos.w, r1, c11

// brightness = clamp(1.5 - z / 15, 0.25, 1)
mad r2.x, r1.z, c12.x, c12.y
max r2.x, r2.x, c12.z
min r2.x, r2.x, c12.w
mov oT0.x, r2.x
mov oD0, v1
